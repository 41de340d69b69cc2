// A recording server for the class registry: it stands between the exports
// and the real engine, writes down every call exactly as it arrives, and
// counts the objects it hands out, so tests can see what was sent, in
// which order, and that every reference was given back.
#pragma once

#include "automation_types.h"
#include "class_registry.h"
#include "sheet_engine.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One argument as it arrived (a dispatch argument is kept as its type only,
// so the record holds no references).
struct RecordedArg {
    std::uint16_t vt = automation::VT_EMPTY;
    std::int32_t number = 0;
    std::u16string text;
    std::optional<automation::SafeArray> array;

    bool omitted() const {
        return vt == automation::VT_ERROR && number == automation::kDispParamNotFound;
    }
};

struct RecordedCall {
    int object;  // which handed-out object, numbered from 0 (the application)
    automation::DispId member;
    automation::InvokeKind kind;
    std::vector<RecordedArg> args;       // positional, first parameter first
    std::optional<RecordedArg> putValue; // the named DISPID_PROPERTYPUT value
    std::size_t namedCount = 0;
    automation::Status status = automation::kOk;
    int resultObject = -1;  // the object handed back, if any
};

struct Recorder {
    std::vector<RecordedCall> calls;
    int created = 0;  // objects handed out so far
    int alive = 0;    // of those, still referenced
    std::vector<int> released;  // objects in the order they were let go
    std::vector<std::size_t> releasedAfterCalls;  // calls made before each of those

    std::vector<const RecordedCall*> find(automation::DispId member, automation::InvokeKind kind) const {
        std::vector<const RecordedCall*> out;
        for (const auto& c : calls) {
            if (c.member == member && c.kind == kind) out.push_back(&c);
        }
        return out;
    }
    // Position of the first such call, or -1.
    int index_of(automation::DispId member, automation::InvokeKind kind) const {
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].member == member && calls[i].kind == kind) return static_cast<int>(i);
        }
        return -1;
    }
};

class RecordingProxy final : public automation::Dispatch {
public:
    RecordingProxy(std::shared_ptr<Recorder> recorder, automation::Dispatch* inner)
        : recorder_(std::move(recorder)), inner_(inner), id_(recorder_->created++) {
        ++recorder_->alive;
    }

    std::uint32_t AddRef() override { return ++references_; }
    std::uint32_t Release() override {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

    automation::Status Invoke(automation::DispId member, automation::InvokeKind kind,
                              const automation::DispParams& params, automation::Variant* result,
                              automation::ExcepInfo* excepInfo) override {
        RecordedCall call{id_, member, kind, {}, std::nullopt, params.named.size()};
        automation::DispParams forwarded;
        for (const auto& a : params.args) {
            call.args.push_back(record(a));
            forwarded.args.push_back(unwrap(a));
        }
        for (const auto& [name, value] : params.named) {
            if (name == automation::kDispIdPropertyPut) call.putValue = record(value);
            forwarded.named.emplace_back(name, unwrap(value));
        }
        automation::Variant inner;
        call.status = inner_->Invoke(member, kind, forwarded, &inner, excepInfo);
        recorder_->calls.push_back(std::move(call));
        if (inner.vt() == automation::VT_DISPATCH) {
            auto* proxy = new RecordingProxy(recorder_, inner.detach_dispatch());
            recorder_->calls.back().resultObject = proxy->id_;
            inner = automation::Variant::DispatchRef(proxy);
            proxy->Release();
        }
        if (result != nullptr) *result = std::move(inner);
        return recorder_->calls.back().status;
    }

private:
    ~RecordingProxy() override {
        inner_->Release();
        --recorder_->alive;
        recorder_->released.push_back(id_);
        recorder_->releasedAfterCalls.push_back(recorder_->calls.size());
    }

    static RecordedArg record(const automation::Variant& v) {
        RecordedArg a;
        a.vt = v.vt();
        a.number = v.i4();
        a.text = v.bstr();
        if (v.array() != nullptr) a.array = *v.array();
        return a;
    }
    // The engine sees its own objects, not the proxies around them.
    static automation::Variant unwrap(const automation::Variant& v) {
        if (auto* proxy = dynamic_cast<RecordingProxy*>(v.dispatch())) {
            return automation::Variant::DispatchRef(proxy->inner_);
        }
        return v;
    }

    std::shared_ptr<Recorder> recorder_;
    automation::Dispatch* inner_;
    int id_;
    std::uint32_t references_ = 1;
};

// Puts the recorder in front of the engine under "Excel.Application".
inline std::shared_ptr<Recorder> install_recording_engine() {
    auto recorder = std::make_shared<Recorder>();
    automation::register_class(kSheetEngineProgId, [recorder]() -> automation::Dispatch* {
        return new RecordingProxy(recorder, create_sheet_engine());
    });
    return recorder;
}

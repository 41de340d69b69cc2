#include "automation_driver.h"

#include "class_registry.h"

using automation::Dispatch;
using automation::Variant;

AutomationDriver::AutomationDriver(const AutomationDriver& other) : dispatch_(other.dispatch_) {
    if (dispatch_ != nullptr) dispatch_->AddRef();
}

AutomationDriver& AutomationDriver::operator=(const AutomationDriver& other) {
    // Taking the new reference before letting go of the old one keeps
    // self-assignment (and two wrappers of one object) safe.
    Dispatch* incoming = other.dispatch_;
    if (incoming != nullptr) incoming->AddRef();
    ReleaseDispatch();
    dispatch_ = incoming;
    autoRelease_ = true;
    return *this;
}

void AutomationDriver::AttachDispatch(Dispatch* dispatch, bool autoRelease) {
    ReleaseDispatch();
    dispatch_ = dispatch;
    autoRelease_ = autoRelease;
}

Dispatch* AutomationDriver::DetachDispatch() {
    Dispatch* out = dispatch_;
    dispatch_ = nullptr;
    return out;
}

void AutomationDriver::ReleaseDispatch() {
    if (dispatch_ != nullptr) {
        Dispatch* held = dispatch_;
        dispatch_ = nullptr;
        if (autoRelease_) held->Release();
    }
}

bool AutomationDriver::CreateDispatch(const std::string& progId) {
    ReleaseDispatch();
    Dispatch* created = nullptr;
    if (automation::create_instance(progId, &created) != automation::kOk || created == nullptr) {
        return false;
    }
    dispatch_ = created;
    autoRelease_ = true;
    return true;
}

Variant AutomationDriver::invoke(automation::DispId member, automation::InvokeKind kind,
                                 std::vector<Variant> args) const {
    if (dispatch_ == nullptr) throw AutomationException(automation::kInvalidArg);
    automation::DispParams params;
    params.args = std::move(args);
    Variant result;
    automation::ExcepInfo info;
    const automation::Status status = dispatch_->Invoke(member, kind, params, &result, &info);
    // The argument copies die with `params` before anything is thrown.
    if (status == automation::kDispException) throw DispatchException(info);
    if (status != automation::kOk) throw AutomationException(status);
    return result;
}

void AutomationDriver::invoke_put(automation::DispId member, std::vector<Variant> args,
                                  Variant value) const {
    if (dispatch_ == nullptr) throw AutomationException(automation::kInvalidArg);
    automation::DispParams params;
    params.args = std::move(args);
    params.named.emplace_back(automation::kDispIdPropertyPut, std::move(value));
    automation::ExcepInfo info;
    const automation::Status status =
        dispatch_->Invoke(member, automation::InvokeKind::PropertyPut, params, nullptr, &info);
    if (status == automation::kDispException) throw DispatchException(info);
    if (status != automation::kOk) throw AutomationException(status);
}

Dispatch* AutomationDriver::dispatch_result(Variant result) {
    if (result.vt() != automation::VT_DISPATCH || result.dispatch() == nullptr) {
        throw AutomationException(automation::kDispTypeMismatch);
    }
    return result.detach_dispatch();
}

std::int32_t AutomationDriver::long_result(const Variant& result) {
    switch (result.vt()) {
        case automation::VT_I4: return result.i4();
        case automation::VT_I2: return result.i2();
        default: throw AutomationException(automation::kDispTypeMismatch);
    }
}

// A dispatch object that only counts its references, for the ownership
// rules of the wrappers. It is never deleted by Release: the test owns it
// and reads the count afterwards.
#pragma once

#include "automation_types.h"

class CountingObject final : public automation::Dispatch {
public:
    std::uint32_t AddRef() override { ++addRefs; return static_cast<std::uint32_t>(++references); }
    std::uint32_t Release() override { ++releases; return static_cast<std::uint32_t>(--references); }
    automation::Status Invoke(automation::DispId, automation::InvokeKind, const automation::DispParams&,
                              automation::Variant*, automation::ExcepInfo*) override {
        return automation::kDispMemberNotFound;
    }
    ~CountingObject() override = default;

    int references = 1;  // the creator's
    int addRefs = 0;
    int releases = 0;
};

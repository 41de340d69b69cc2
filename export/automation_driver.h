// The base of every spreadsheet wrapper: owns one Dispatch reference and
// turns each operation into one Invoke, raising AutomationException or
// DispatchException when the call fails.
#pragma once

#include "automation_error.h"
#include "automation_types.h"

#include <string>
#include <vector>

class AutomationDriver {
public:
    AutomationDriver() = default;
    // Takes over the caller's reference; adds none.
    explicit AutomationDriver(automation::Dispatch* dispatch) : dispatch_(dispatch) {}
    // Shares the other's object and adds a reference of its own.
    AutomationDriver(const AutomationDriver& other);
    // Releases the current object, then shares the other's and adds one
    // reference. Assigning a wrapper to itself keeps its one reference.
    AutomationDriver& operator=(const AutomationDriver& other);
    ~AutomationDriver() { ReleaseDispatch(); }

    // Releases the current object first, then takes over `dispatch` without
    // adding a reference.
    void AttachDispatch(automation::Dispatch* dispatch, bool autoRelease = true);
    // Hands the reference to the caller; the wrapper becomes empty.
    automation::Dispatch* DetachDispatch();
    // Releases the object when auto-release is set; empty afterwards.
    void ReleaseDispatch();

    // Create by prog ID through the class registry. True on success; on
    // failure false, and the wrapper stays empty.
    bool CreateDispatch(const std::string& progId);

    automation::Dispatch* dispatch() const { return dispatch_; }
    bool auto_release() const { return autoRelease_; }

protected:
    // One Invoke of `member`; raises on failure, returns the raw result.
    automation::Variant invoke(automation::DispId member, automation::InvokeKind kind,
                               std::vector<automation::Variant> args) const;
    // A property put: `args` are the index arguments, `value` the new value.
    void invoke_put(automation::DispId member, std::vector<automation::Variant> args,
                    automation::Variant value) const;
    // Result conversions; a result of another type raises
    // AutomationException(type mismatch). The reference moves to the caller.
    static automation::Dispatch* dispatch_result(automation::Variant result);
    static std::int32_t long_result(const automation::Variant& result);

private:
    automation::Dispatch* dispatch_ = nullptr;
    bool autoRelease_ = true;
};

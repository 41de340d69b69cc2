#include "automation_error.h"

#include <cstdio>

namespace {

const char* status_text(automation::Status status) {
    using namespace automation;
    switch (status) {
        case kNoInterface: return "No such interface supported.";
        case kFail: return "Unspecified error.";
        case kOutOfMemory: return "Not enough memory is available to complete this operation.";
        case kInvalidArg: return "The parameter is incorrect.";
        case kClassNotRegistered: return "Class not registered.";
        case kDispMemberNotFound: return "Member not found.";
        case kDispParamNotFound: return "Parameter not found.";
        case kDispTypeMismatch: return "Type mismatch.";
        case kDispNoNamedArgs: return "Does not support named arguments.";
        case kDispBadVarType: return "Bad variable type.";
        case kDispException: return "Exception occurred.";
        case kDispOverflow: return "Out of present range.";
        case kDispBadIndex: return "Invalid index.";
        case kDispBadParamCount: return "Invalid number of parameters.";
        case kDispParamNotOptional: return "Parameter not optional.";
        default: return "The automation call failed.";
    }
}

}  // namespace

std::string describe_status(automation::Status status) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(status));
    return std::string(status_text(status)) + " (0x" + code + ")";
}

AutomationException::AutomationException(automation::Status status)
    : AutomationError(status, describe_status(status)) {}

DispatchException::DispatchException(const automation::ExcepInfo& info)
    : AutomationError(info.scode != 0 ? info.scode : automation::kDispException,
                      info.description.empty() ? describe_status(automation::kDispException)
                                               : info.description),
      info_(info) {}

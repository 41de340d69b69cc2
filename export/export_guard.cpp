#include "export_guard.h"

#include "prompts.h"

#include <exception>

bool run_export(const std::function<void()>& exportCall) {
    try {
        exportCall();
        return true;
    } catch (const std::exception& e) {
        prompts().message_box(e.what());
    } catch (...) {
        prompts().message_box("The export failed for an unknown reason.");
    }
    return false;
}

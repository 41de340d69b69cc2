#include "display_check.h"

#include <cstdlib>
#include <string_view>

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

std::string missing_display_reason() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string_view chosen = platform != nullptr ? platform : "";
    const bool x11 = chosen.empty() || starts_with(chosen, "xcb");
    const bool wayland = chosen.empty() || starts_with(chosen, "wayland");
    if (!x11 && !wayland) return {};
    if ((x11 && set("DISPLAY")) || (wayland && set("WAYLAND_DISPLAY"))) return {};
    return "There is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set). "
           "The commands need none: see orvypc --help.";
}

// The window asked for where there is no display: a plain message that
// points to the commands and a usage exit, never Qt's abort (134).
#include "cli.h"
#include "run_orvypc.h"

#include <cstdlib>
#include <optional>

namespace {

// Sets or clears the display variables for one run and restores them.
class DisplayEnvironment {
public:
    DisplayEnvironment(const char* platform, const char* display, const char* wayland) {
        for (auto& [name, value] : {std::pair{"QT_QPA_PLATFORM", platform}, std::pair{"DISPLAY", display},
                                    std::pair{"WAYLAND_DISPLAY", wayland}}) {
            const char* old = std::getenv(name);
            saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
            value ? setenv(name, value, 1) : unsetenv(name);
        }
    }
    ~DisplayEnvironment() {
        for (const auto& [name, value] : saved_) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(NoDisplay, TheWindowSaysThereIsNoneAndPointsToTheCommands) {
    struct Case {
        const char* platform;
        const char* display;
        const char* wayland;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr}, {nullptr, "", ""}, {"xcb", nullptr, "wayland-0"}, {"wayland", ":0", nullptr}};
    for (const Case& c : cases) {
        DisplayEnvironment env(c.platform, c.display, c.wayland);
        const Outcome r = run_orvypc({"--demo"});
        EXPECT_EQ(r.status, kExitUsage) << (c.platform ? c.platform : "(default)") << r.err;
        EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("orvypc --help"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace

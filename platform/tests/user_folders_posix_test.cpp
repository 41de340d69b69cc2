// The per-user folders follow the XDG variables, ignoring relative ones.
#include "user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// Changes the environment for one test only.
class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) setenv(kNames[i], saved_[i]->c_str(), 1);
            else unsetenv(kNames[i]);
        }
    }
    static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(UserFolders, FollowTheXdgVariablesAndFallBackUnderHome) {
    setenv("HOME", "/home/tech", 1);
    setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(user_config_folder(), "/srv/conf");
    EXPECT_EQ(user_data_folder(), "/home/tech/.local/share");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(user_config_folder(), "/home/tech/.config");
    EXPECT_EQ(this_executable_path().substr(this_executable_path().rfind('/') + 1), "platform_tests");
}

}  // namespace

// The per-user folders are the user's %APPDATA%, in any script.
#include "user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Changes the environment for one test only.
class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name : kNames) {
            const wchar_t* value = _wgetenv(name);
            saved_.emplace_back(value != nullptr ? value : L"");
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) _wputenv_s(kNames[i], saved_[i].c_str());
    }
    static constexpr const wchar_t* kNames[] = {L"APPDATA", L"USERPROFILE"};
    std::vector<std::wstring> saved_;
};

TEST_F(UserFolders, AreTheRoamingApplicationDataFolder) {
    _wputenv_s(L"APPDATA", L"C:\\Users\\Prüfer 张\\AppData\\Roaming");
    EXPECT_EQ(user_config_folder(), "C:\\Users\\Prüfer 张\\AppData\\Roaming");
    EXPECT_EQ(user_data_folder(), user_config_folder());
    _wputenv_s(L"APPDATA", L"");  // removes it
    _wputenv_s(L"USERPROFILE", L"C:\\Users\\tech");
    EXPECT_EQ(user_config_folder(), "C:\\Users\\tech\\AppData\\Roaming");
    const std::string exe = this_executable_path();
    EXPECT_EQ(exe.substr(exe.find_last_of("\\/") + 1), "platform_tests.exe");
}

}  // namespace

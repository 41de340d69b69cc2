// The user's key store is the registry: each key where Windows keeps it for
// the current user, read back by the system's own reg.exe as well, and an
// old key store file carried over once, never lost.
#include "key_store.h"
#include "user_folders.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

std::wstring wide(const std::string& text)
{
    std::wstring out(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    return out;
}

std::optional<std::wstring> registry_text(const std::string& key, const std::string& name)
{
    wchar_t text[512];
    DWORD size = sizeof text;
    const std::wstring n = name == "@" ? std::wstring() : wide(name);
    if (RegGetValueW(HKEY_CURRENT_USER, wide(key).c_str(), n.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

bool registry_has_key(const std::string& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

// What the system's reg.exe prints for one value.
std::string reg_query(const std::string& key, const std::string& name)
{
    const std::string command = "reg query \"HKCU\\" + key + "\" /v " + name + " 2>NUL";
    std::string out;
    if (FILE* p = _popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
        _pclose(p);
    }
    return out;
}

// Each test starts and ends without the program's keys, with %APPDATA% in
// a folder of its own.
class RegistryKeyStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        clean();
        const wchar_t* appData = _wgetenv(L"APPDATA");
        saved_ = appData != nullptr ? appData : L"";
        folder_ = std::filesystem::temp_directory_path() / ("orvypc-key-store-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder_ / "OrvyPc");
        _wputenv_s(L"APPDATA", folder_.wstring().c_str());
    }
    void TearDown() override
    {
        _wputenv_s(L"APPDATA", saved_.c_str());
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        clean();
    }
    static void clean()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvyPc");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\AppID\\{0A1B2C3D-0000-0000-0000-000000000001}");
    }
    std::string old_file() const { return (folder_ / "OrvyPc" / "classes.reg").string(); }
    void write_old_file(const std::string& text) const { std::ofstream(folder_ / "OrvyPc" / "classes.reg") << text; }

    std::filesystem::path folder_;
    std::wstring saved_;
};

const std::string kAppId = "AppID\\{0A1B2C3D-0000-0000-0000-000000000001}";

TEST_F(RegistryKeyStore, KeysLieWhereTheSystemKeepsThemForTheUser)
{
    KeyStore values;
    values.set_value("Software\\OrvyPc\\Logbook", "Location", "D:\\Prüfung 测试\\logbook.sqlite");
    values.set_value(kAppId, "@", "OrvyPc");
    std::string error;
    ASSERT_TRUE(change_user_key_store(old_file(), values, {}, &error)) << error;

    EXPECT_EQ(registry_text("Software\\OrvyPc\\Logbook", "Location"), wide("D:\\Prüfung 测试\\logbook.sqlite"));
    EXPECT_EQ(registry_text("Software\\Classes\\" + kAppId, "@"), L"OrvyPc");
    EXPECT_NE(reg_query("Software\\OrvyPc\\Logbook", "Location").find("REG_SZ"), std::string::npos);

    // The program's own keys, and only those, come back.
    KeyStore back;
    ASSERT_TRUE(load_user_key_store(&back));
    ASSERT_TRUE(back.value("software\\orvypc\\logbook", "location"));
    EXPECT_EQ(*back.value("Software\\OrvyPc\\Logbook", "Location"), "D:\\Prüfung 测试\\logbook.sqlite");
    EXPECT_FALSE(back.has_key(kAppId));

    // A key goes with everything below it; its parent stays.
    values = KeyStore();
    values.set_value("Software\\OrvyPc\\Monitor\\Rounds", "Every", "30");
    ASSERT_TRUE(change_user_key_store(old_file(), values, {"Software\\OrvyPc\\Monitor", kAppId}, &error)) << error;
    EXPECT_FALSE(registry_has_key("Software\\OrvyPc\\Monitor"));
    EXPECT_FALSE(registry_has_key("Software\\Classes\\" + kAppId));
    EXPECT_TRUE(registry_has_key("Software\\Classes\\AppID"));
    EXPECT_TRUE(registry_text("Software\\OrvyPc\\Logbook", "Location"));
    // Removing what is not there is no failure.
    EXPECT_TRUE(change_user_key_store(old_file(), KeyStore(), {"Software\\OrvyPc\\Nothing"}, &error)) << error;
}

TEST_F(RegistryKeyStore, AnOldKeyStoreFileIsCarriedOverOnceAndKept)
{
    write_old_file("[Software\\OrvyPc\\Logbook]\n\"Location\"=\"C:\\\\old.sqlite\"\n\"Note\"=\"kept\"\n\n[" + kAppId +
                   "]\n@=\"OrvyPc\"\n");
    // A value the registry already has is the newer one.
    KeyStore newer;
    newer.set_value("Software\\OrvyPc\\Logbook", "Location", "C:\\new.sqlite");
    std::string error;
    ASSERT_TRUE(change_user_key_store("", newer, {}, &error)) << error;

    KeyStore store;
    ASSERT_TRUE(load_user_key_store(&store));
    EXPECT_EQ(*store.value("Software\\OrvyPc\\Logbook", "Location"), "C:\\new.sqlite");
    ASSERT_TRUE(store.value("Software\\OrvyPc\\Logbook", "Note"));
    EXPECT_EQ(*store.value("Software\\OrvyPc\\Logbook", "Note"), "kept");
    EXPECT_EQ(registry_text("Software\\Classes\\" + kAppId, "@"), L"OrvyPc");
    EXPECT_FALSE(std::filesystem::exists(old_file()));
    EXPECT_TRUE(std::filesystem::exists(old_file() + ".carried-over"));

    // Once: a value removed afterwards does not come back.
    ASSERT_TRUE(change_user_key_store(old_file(), KeyStore(), {"Software\\OrvyPc\\Logbook"}, &error)) << error;
    ASSERT_TRUE(load_user_key_store(&store));
    EXPECT_FALSE(store.value("Software\\OrvyPc\\Logbook", "Note"));
}

TEST_F(RegistryKeyStore, AFileThatIsNoKeyStoreIsLeftAlone)
{
    write_old_file("[Software\\OrvyPc]\nno value line\n");
    KeyStore values;
    values.set_value("Software\\OrvyPc\\Logbook", "Location", "C:\\l.sqlite");
    std::string error;
    ASSERT_TRUE(change_user_key_store(old_file(), values, {}, &error)) << error;
    KeyStore store;
    EXPECT_TRUE(load_user_key_store(&store));
    EXPECT_TRUE(store.value("Software\\OrvyPc\\Logbook", "Location"));
    std::ifstream file(old_file());
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[Software\\OrvyPc]\nno value line\n");
}

}  // namespace

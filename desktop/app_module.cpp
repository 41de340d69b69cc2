#include "app_module.h"

#include "key_store.h"
#include "user_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kAppIdRoot = "AppID";
constexpr const char* kExeKeyName = "OrvyPc.EXE";
constexpr const char* kServerName = "OrvyPc";
constexpr const char* kIconResource = ":/icons/orvypc.png";

// An Exec argument: quoted with ", `, $ and \ escaped inside the quotes,
// then every \ doubled again and % doubled for the desktop file's string
// value.
std::string exec_argument(const std::string& path)
{
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += "\\\\";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out;
}

bool write_file(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(bytes);
    return file.commit();
}

bool remove_if_there(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return !file.exists() || file.remove();
}

}  // namespace

RegistrationPaths RegistrationPaths::from_environment()
{
    return {user_config_folder(), user_menu_data_folder(), this_executable_path()};
}

std::string RegistrationPaths::key_store() const { return configHome + "/OrvyPc/classes.reg"; }
std::string RegistrationPaths::desktop_entry() const
{
    return dataHome + "/applications/" + kDesktopFileName;
}
std::string RegistrationPaths::icon() const
{
    return dataHome + "/icons/hicolor/128x128/apps/" + kIconName + ".png";
}

std::string app_id_key() { return std::string(kAppIdRoot) + "\\" + kAppIdText; }
std::string app_exe_key() { return std::string(kAppIdRoot) + "\\" + kExeKeyName; }
std::string type_lib_key() { return std::string("TypeLib\\") + kTypeLibId; }

std::string COrvyPcModule::DesktopEntryText(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=OrvyPc\n"
           "GenericName=Emergency lighting gateway\n"
           "Comment=Status and test results of the luminaires on a DALI emergency-lighting gateway\n"
           "Exec=" + exec_argument(executable) + "\n"
           "Icon=" + std::string(kIconName) + "\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "StartupNotify=false\n";
}

bool COrvyPcModule::RegisterServer(std::string* error)
{
    const std::string version = type_lib_key() + "\\" + kTypeLibVersion;
    const std::string folder =
        QDir::toNativeSeparators(QFileInfo(QString::fromStdString(m_paths.executable)).absolutePath()).toStdString();
    KeyStore entries;
    entries.create_key(kAppIdRoot);
    entries.set_value(app_id_key(), "@", kServerName);
    entries.set_value(app_exe_key(), "AppID", kAppIdText);
    entries.set_value(version, "@", kTypeLibName);
    entries.set_value(version + "\\0\\" + type_library_platform(), "@", m_paths.executable);
    entries.set_value(version + "\\FLAGS", "@", "0");
    entries.set_value(version + "\\HELPDIR", "@", folder);
    if (!change_user_key_store(m_paths.key_store(), entries, {}, error)) return false;
    if (m_paths.dataHome.empty()) return true;   // no menu entry of its own (Windows)

    QFile icon(kIconResource);
    if (!icon.open(QIODevice::ReadOnly) || !write_file(QString::fromStdString(m_paths.icon()), icon.readAll())) {
        *error = "cannot write the icon " + m_paths.icon();
        return false;
    }
    const std::string entry = DesktopEntryText(m_paths.executable);
    if (!write_file(QString::fromStdString(m_paths.desktop_entry()), QByteArray::fromStdString(entry))) {
        *error = "cannot write the desktop entry " + m_paths.desktop_entry();
        return false;
    }
    return true;
}

bool COrvyPcModule::UnregisterServer(std::string* error)
{
    bool ok = change_user_key_store(m_paths.key_store(), KeyStore(), {app_id_key(), app_exe_key(), type_lib_key()},
                                    error);
    if (m_paths.dataHome.empty()) return ok;
    if (!remove_if_there(m_paths.desktop_entry())) {
        *error = "cannot remove the desktop entry " + m_paths.desktop_entry();
        ok = false;
    }
    if (!remove_if_there(m_paths.icon())) {
        *error = "cannot remove the icon " + m_paths.icon();
        ok = false;
    }
    return ok;
}

// Saving on Windows never leaves a half-written workbook and never harms
// what is already at the chosen path; names in any script work. The
// system's own words for a failure differ between Windows versions, so
// only this program's part of each message is fixed here.
#include "export_fixture.h"
#include "export_guard.h"
#include "list_export.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>

namespace {

// UTF-8 text as a path and back; narrow paths are not UTF-8 to the C++
// library on Windows.
std::filesystem::path utf8_path(const std::string& text) { return std::u8string(text.begin(), text.end()); }
std::string utf8_text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class SaveFailure : public ExportFixture {
protected:
    static std::string refusal(const std::string& target) {
        return "message:The workbook could not be saved as \"" + target + "\": ";
    }
    std::vector<std::string> sorted_files() const {
        std::vector<std::string> names = files();
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SaveFailure, RefusedTargetsAreReportedAndLeaveEverythingAsItWas) {
    const std::string readOnly = path("read-only.xlsx");
    std::ofstream(readOnly) << "kept";
    ASSERT_TRUE(SetFileAttributesW(std::filesystem::path(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
    std::filesystem::create_directory(path("folder"));
    const std::string cases[] = {path("missing\\out.xlsx"), path("folder"), readOnly};
    for (const std::string& target : cases) {
        SCOPED_TRACE(target);
        const std::string shown = export_to(target);
        EXPECT_EQ(shown.rfind(refusal(target), 0), 0u) << shown;
        EXPECT_GT(shown.size(), refusal(target).size() + 1);  // the reason is given
    }
    EXPECT_EQ(export_to(path("folder")), refusal(path("folder")) + "a folder of that name is there.");
    EXPECT_EQ(read_file(readOnly), "kept");
    SetFileAttributesW(std::filesystem::path(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(sorted_files(), (std::vector<std::string>{"folder", "read-only.xlsx"}));
}

// A spreadsheet program keeps the file it shows open without letting it be
// replaced: the save fails and the open file stays as it was.
TEST_F(SaveFailure, AFileHeldOpenIsNotReplacedAndNoTemporaryFileStays) {
    const std::string target = path("open.xlsx");
    std::ofstream(target) << "shown elsewhere";
    const HANDLE held = CreateFileW(std::filesystem::path(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string shown = export_to(target);
    CloseHandle(held);
    EXPECT_EQ(shown.rfind(refusal(target), 0), 0u) << shown;
    EXPECT_EQ(read_file(target), "shown elsewhere");
    EXPECT_EQ(sorted_files(), std::vector<std::string>{"open.xlsx"});
}

TEST_F(SaveFailure, ReplacingAFileGivesTheSameBytesForTheSameInputInAnyScript) {
    // The program's own names are UTF-8 (its manifest makes UTF-8 the code
    // page of the C library that libxlsxwriter opens files with).
    const std::filesystem::path folder = dir / utf8_path("Prüfung 测试");
    std::filesystem::create_directory(folder);
    const std::string target = utf8_text(folder / utf8_path("结果 Größe.xlsx"));
    std::ofstream(utf8_path(target)) << "old";
    EXPECT_EQ(export_to(target), "");
    const std::string first = read_file(target);
    EXPECT_EQ(first.substr(0, 2), "PK");
    EXPECT_EQ(export_to(target), "");
    EXPECT_EQ(read_file(target), first);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder)) left.push_back(utf8_text(e.path().filename()));
    EXPECT_EQ(left, std::vector<std::string>{"结果 Größe.xlsx"});
}

}  // namespace

// Saving never leaves a half-written workbook and never harms what is
// already at the chosen path; a failure reaches the user as the
// exception's own text through run_export.
#include "excel_object_model.h"
#include "export_fixture.h"
#include "export_guard.h"
#include "list_export.h"
#include "recording_backend.h"
#include "status_export.h"

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using automation::InvokeKind;
namespace dispid = excel::dispid;

namespace {

// Every case saves through the export fixture's export_to.
using SaveFailure = ExportFixture;

TEST_F(SaveFailure, UnwritablePathsAreReportedAndLeaveNothingBehind) {
    const std::string plainFile = path("plain");
    std::ofstream(plainFile) << "x";
    std::filesystem::create_directory(path("folder"));
    struct Case {
        std::string target;
        std::string reason;
    };
    const Case cases[] = {
        {path("missing/out.xlsx"), "No such file or directory"},
        {plainFile + "/out.xlsx", "Not a directory"},
        {path("folder"), "a folder of that name is there"},
    };
    for (const Case& c : cases) {
        auto recorder = install_recording_engine();
        const std::string shown = export_to(c.target);
        EXPECT_EQ(shown, "message:The workbook could not be saved as \"" + c.target + "\": " + c.reason + ".");
        // The export stopped at SaveCopyAs: no Saved, no Quit, all let go.
        EXPECT_TRUE(recorder->find(dispid::kSaved, InvokeKind::PropertyPut).empty());
        EXPECT_TRUE(recorder->find(dispid::kQuit, InvokeKind::Method).empty());
        EXPECT_EQ(recorder->alive, 0);
    }
    std::vector<std::string> left = files();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder", "plain"}));
    EXPECT_TRUE(std::filesystem::is_empty(path("folder")));
    EXPECT_EQ(read_file(plainFile), "x");
}

TEST_F(SaveFailure, ReplacingAFileKeepsItsPermissionsAndTheSameInputGivesTheSameBytes) {
    const std::string target = path("again.xlsx");
    std::ofstream(target) << "old";
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    EXPECT_EQ(export_to(target), "");
    const std::string first = read_file(target);
    EXPECT_EQ(first.substr(0, 2), "PK");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(export_to(target), "");
    EXPECT_EQ(read_file(target), first);
    EXPECT_EQ(files(), std::vector<std::string>{"again.xlsx"});
}

// A full disk, for real: the child process may write no file longer than
// 4 KiB (a workbook needs more), so libxlsxwriter's writes fail the way
// they fail on a full disk. The file already at the path must survive.
TEST_F(SaveFailure, AFullDiskIsReportedAndTheExistingFileIsUnchanged) {
    const std::string target = path("keep.xlsx");
    const std::string precious = "the workbook saved yesterday";
    std::ofstream(target) << precious;

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string shown = export_to(target);
        const ssize_t written = ::write(pipeFds[1], shown.data(), shown.size());
        ::_exit(written == static_cast<ssize_t>(shown.size()) ? 0 : 3);
    }
    ::close(pipeFds[1]);
    std::string shown;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_EQ(shown, "message:The workbook could not be saved as \"" + target + "\": " + "File too large.");
    EXPECT_EQ(read_file(target), precious);
    EXPECT_EQ(files(), std::vector<std::string>{"keep.xlsx"});
}

TEST_F(SaveFailure, SavingOntoALinkReplacesItsTargetAndKeepsTheLink) {
    std::filesystem::create_directory(path("filed"));
    struct Case {
        std::string link;
        std::string pointsTo;  // as the link holds it
        std::string target;    // the file it reaches
    };
    const Case cases[] = {
        {path("relative.xlsx"), "filed/record.xlsx", path("filed/record.xlsx")},
        {path("absolute.xlsx"), path("filed/abs.xlsx"), path("filed/abs.xlsx")},
        {path("dangling.xlsx"), "filed/new.xlsx", path("filed/new.xlsx")},
        {path("chain.xlsx"), "relative.xlsx", path("filed/record.xlsx")},
    };
    std::ofstream(path("filed/record.xlsx")) << "old";
    std::ofstream(path("filed/abs.xlsx")) << "old";
    for (const Case& c : cases) {
        std::filesystem::create_symlink(c.pointsTo, c.link);
        install_recording_engine();
        EXPECT_EQ(export_to(c.link), "") << c.link;
        EXPECT_TRUE(std::filesystem::is_symlink(c.link)) << c.link;
        EXPECT_EQ(std::filesystem::read_symlink(c.link), c.pointsTo) << c.link;
        EXPECT_EQ(read_file(c.target).substr(0, 2), "PK") << c.target;
    }
    // No temporary file is left beside the link or the targets.
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        EXPECT_EQ(e.path().filename().string().rfind(".orvypc-save", 0), std::string::npos) << e.path();
    }
}

}  // namespace

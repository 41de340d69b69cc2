// The export procedures as the user meets them (names proposed, dialogs,
// messages, trace lines, files) and as the spreadsheet sees them (the
// calls, their arguments and the references given back).
#include "excel_object_model.h"
#include "export_fixture.h"
#include "export_guard.h"
#include "list_export.h"
#include "recording_backend.h"
#include "status_export.h"

#include <algorithm>
#include <filesystem>

using automation::InvokeKind;
namespace dispid = excel::dispid;

namespace {

const char kCreateFails[] = "Excel.Application create fails\xEF\xBC\x81";

TestList three_rows() {
    TestList list;
    list.insert_row(false, {"A0", "Stair 1", "North", "2015/07/08 10:00:00", "FT", "none", "OK"});
    list.insert_row(false, {"A1", "\xE8\xB5\xB0\xE5\xBB\x8A", "Hall", "2015/07/08 10:01:00", "DT", "180", "FAIL"});
    list.insert_row(false, {"B5", "", "", "2015/07/08 10:02:00", "FT", "none", "NULL"});
    return list;
}

class ListExport : public ExportFixture {};

TEST_F(ListExport, TestResultsProposesTheNameTracesTheStepsAndWritesTheFile) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    const std::string out = path("results.xlsx");
    ScriptedSavePrompt prompt(log, out);
    ExportTestResults(list, prompt);

    EXPECT_EQ(log.events, std::vector<std::string>{"dialog:TestResult_2015-07-08 14_03_09.xlsx"});
    EXPECT_EQ(traced, "pstrDateTime:2015-07-08 14_03_09filePath:" + out + "\n" + out + "\n");
    EXPECT_EQ(read_file(out).substr(0, 2), "PK");
    EXPECT_EQ(files(), std::vector<std::string>{"results.xlsx"});  // no temporary left
    // Saved, marked saved, then Quit once, and every object given back.
    const int save = recorder->index_of(dispid::kSaveCopyAs, InvokeKind::Method);
    const int saved = recorder->index_of(dispid::kSaved, InvokeKind::PropertyPut);
    const int quit = recorder->index_of(dispid::kQuit, InvokeKind::Method);
    ASSERT_GE(save, 0);
    EXPECT_LT(save, saved);
    EXPECT_EQ(quit, static_cast<int>(recorder->calls.size()) - 1);
    EXPECT_EQ(recorder->find(dispid::kQuit, InvokeKind::Method).size(), 1u);
    EXPECT_EQ(recorder->alive, 0);
    EXPECT_TRUE(recorder->find(dispid::kUserControl, InvokeKind::PropertyPut).empty());
}

// After the save: font, worksheet, worksheet collection, workbook, workbook
// collection let go in that order, then Quit, then the application.
TEST_F(ListExport, ObjectsAreLetGoInOrderThenQuitThenTheApplication) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, path("order.xlsx"));
    ExportTestResults(list, prompt);

    // The object the first (or last) such call handed back.
    auto handed = [&](automation::DispId member, InvokeKind kind, bool last) {
        const auto calls = recorder->find(member, kind);
        return calls.empty() ? -1 : (last ? calls.back() : calls.front())->resultObject;
    };
    auto release_index = [&](int object) {
        const auto& r = recorder->released;
        return static_cast<std::size_t>(std::find(r.begin(), r.end(), object) - r.begin());
    };
    const int font = handed(dispid::kFont, InvokeKind::PropertyGet, true);
    const int sheet = recorder->find(dispid::kItem, InvokeKind::PropertyGet).front()->resultObject;
    const int sheets = handed(dispid::kWorksheets, InvokeKind::PropertyGet, true);
    const int book = handed(dispid::kAdd, InvokeKind::Method, true);
    const int books = handed(dispid::kWorkbooks, InvokeKind::PropertyGet, true);
    const std::vector<std::size_t> positions = {release_index(font), release_index(sheet), release_index(sheets),
                                                release_index(book), release_index(books), release_index(0)};
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    ASSERT_EQ(recorder->released.size(), static_cast<std::size_t>(recorder->created));
    EXPECT_EQ(positions.back(), recorder->released.size() - 1);  // the application last
    const std::size_t quit = static_cast<std::size_t>(recorder->index_of(dispid::kQuit, InvokeKind::Method));
    EXPECT_EQ(recorder->releasedAfterCalls[positions[4]], quit);      // the collection before Quit
    EXPECT_EQ(recorder->releasedAfterCalls[positions[5]], quit + 1);  // the application after it
}

TEST_F(ListExport, ValuesTravelInOneCallAsAnArrayWithAnEmptyFirstColumnAndLastRow) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, path("v.xlsx"));
    ExportTestResults(list, prompt);

    std::vector<const RecordedCall*> arrays;
    for (const RecordedCall* c : recorder->find(dispid::kValue2, InvokeKind::PropertyPut)) {
        if (c->putValue->array) {
            arrays.push_back(c);
        } else {
            EXPECT_EQ(c->putValue->vt, automation::VT_BSTR);  // only the seven headers
        }
    }
    EXPECT_EQ(recorder->find(dispid::kValue2, InvokeKind::PropertyPut).size(), 8u);
    ASSERT_EQ(arrays.size(), 1u);
    const automation::SafeArray& a = *arrays[0]->putValue->array;
    ASSERT_EQ(a.rows(), 4u);
    ASSERT_EQ(a.columns(), 8u);
    for (std::size_t r = 0; r < 4; ++r) EXPECT_EQ(a.element(r, 0), u"") << r;
    for (std::size_t c = 0; c < 8; ++c) EXPECT_EQ(a.element(3, c), u"") << c;
    EXPECT_EQ(a.element(0, 1), u"A0");
    EXPECT_EQ(a.element(1, 2), u"\u8D70\u5ECA");
    EXPECT_EQ(a.element(2, 7), u"NULL");
    // The block starts at "A3 " and is resized with two VT_I2 counts.
    const auto resize = recorder->find(dispid::kResize, InvokeKind::PropertyGet);
    ASSERT_EQ(resize.size(), 1u);
    EXPECT_EQ(resize[0]->args[0].vt, automation::VT_I2);
    EXPECT_EQ(resize[0]->args[0].number, 4);
    EXPECT_EQ(resize[0]->args[1].number, 8);
}

TEST_F(ListExport, GridIsOneThinBoxPerCellOfColumnsBToH) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, path("g.xlsx"));
    ExportDetails(list, "B5", prompt);
    const auto borders = recorder->find(dispid::kBorderAround, InvokeKind::Method);
    ASSERT_EQ(borders.size(), 7u * 4u);  // rows 2..5
    for (const RecordedCall* c : borders) {
        ASSERT_EQ(c->args.size(), 4u);
        EXPECT_EQ(c->args[0].vt, automation::VT_I2);
        EXPECT_EQ(c->args[0].number, 1);
        EXPECT_EQ(c->args[1].vt, automation::VT_I4);
        EXPECT_EQ(c->args[1].number, 2);
        EXPECT_EQ(c->args[2].number, 1);
        EXPECT_TRUE(c->args[3].omitted());
    }
}

// Every optional argument the three exports leave out reaches the server
// as VT_ERROR / DISP_E_PARAMNOTFOUND; no call carries a VT_EMPTY.
TEST_F(ListExport, OmittedArgumentsArriveAsParamNotFoundNeverAsEmpty) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, path("o.xlsx"));
    ExportTestResults(list, prompt);
    ExportDetails(list, "A5", prompt);
    ExportStatus(sample_lines(), "A", 5, kFixedTime, prompt);

    int omittedSeen = 0;
    for (const RecordedCall& c : recorder->calls) {
        for (const RecordedArg& a : c.args) {
            EXPECT_NE(a.vt, automation::VT_EMPTY) << std::hex << c.member;
            omittedSeen += a.omitted() ? 1 : 0;
        }
        if (c.putValue) {
            EXPECT_NE(c.putValue->vt, automation::VT_EMPTY);
        }
    }
    EXPECT_GT(omittedSeen, 0);
    for (const RecordedCall* c : recorder->find(dispid::kAdd, InvokeKind::Method)) {
        if (c->args.size() == 1) {
            EXPECT_TRUE(c->args[0].omitted());  // Workbooks.Add(Template)
        }
    }
    for (const RecordedCall* c : recorder->find(dispid::kItem, InvokeKind::PropertyGet)) {
        if (c->args.size() == 2) {
            EXPECT_TRUE(c->args[1].omitted());  // the same-column cell
        }
    }
}

TEST_F(ListExport, DetailsNameBeginsWithTheUnitsAddressAndRepeatsWithinTheSecond) {
    install_recording_engine();
    const TestList list = three_rows();
    FixedPathPrompt prompt(path("d.xlsx"));
    ExportDetails(list, "B5", prompt);
    ExportDetails(list, "B5", prompt);
    ExportDetails(list, "A12", prompt);
    EXPECT_EQ(prompt.proposed(), (std::vector<std::string>{"B5 Test Details_2015-07-08 14_03_09.xlsx",
                                                           "B5 Test Details_2015-07-08 14_03_09.xlsx",
                                                           "A12 Test Details_2015-07-08 14_03_09.xlsx"}));
    EXPECT_EQ(traced.find("pstrDateTime"), std::string::npos);
}

TEST_F(ListExport, AnyExtensionIsSavedUnderExactlyTheChosenName) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    const std::string out = path("report.doc");
    FixedPathPrompt prompt(out);
    ExportTestResults(list, prompt);
    const auto save = recorder->find(dispid::kSaveCopyAs, InvokeKind::Method);
    ASSERT_EQ(save.size(), 1u);
    EXPECT_EQ(save[0]->args[0].vt, automation::VT_BSTR);
    EXPECT_EQ(save[0]->args[0].text, std::u16string(out.begin(), out.end()));
    EXPECT_EQ(read_file(out).substr(0, 2), "PK");
}

TEST_F(ListExport, AFixedFolderAnswerSavesUnderTheProposedName) {
    install_recording_engine();
    const TestList list = three_rows();
    FixedPathPrompt prompt(dir.string() + "/");
    ExportDetails(list, "B0", prompt);
    EXPECT_EQ(files(), std::vector<std::string>{"B0 Test Details_2015-07-08 14_03_09.xlsx"});
}

TEST_F(ListExport, WithoutTheServerTheMessageComesBeforeAnyDialog) {
    automation::unregister_class("Excel.Application");
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, path("never.xlsx"));
    ExportTestResults(list, prompt);
    ExportDetails(list, "A3", prompt);
    EXPECT_EQ(log.events, (std::vector<std::string>{std::string("message:") + kCreateFails,
                                                    std::string("message:") + kCreateFails}));
    EXPECT_TRUE(files().empty());
}

TEST_F(ListExport, CancelWritesNothingAndLetsTheServerGoWithoutQuit) {
    auto recorder = install_recording_engine();
    const TestList list = three_rows();
    ScriptedSavePrompt prompt(log, std::nullopt);
    ExportTestResults(list, prompt);
    EXPECT_EQ(traced, "pstrDateTime:2015-07-08 14_03_09打开文件失败！&& 取消保存");
    EXPECT_TRUE(recorder->calls.empty());
    EXPECT_EQ(recorder->created, 1);
    EXPECT_EQ(recorder->alive, 0);
    EXPECT_TRUE(files().empty());
}

TEST_F(ListExport, AnEmptyListStillGivesTheHeaderRowAndItsGrid) {
    auto recorder = install_recording_engine();
    const TestList empty;
    ScriptedSavePrompt prompt(log, path("empty.xlsx"));
    ExportTestResults(empty, prompt);
    EXPECT_EQ(recorder->find(dispid::kBorderAround, InvokeKind::Method).size(), 7u);
    EXPECT_TRUE(std::filesystem::exists(path("empty.xlsx")));
}

class StatusExport : public ExportFixture {};

TEST_F(StatusExport, AsksForThePathFirstThenWritesTwoSheetsCellByCell) {
    auto recorder = install_recording_engine();
    const std::string out = path("status.xlsx");
    ScriptedSavePrompt prompt(log, out);
    set_export_clock([] { return kFixedTime; });
    ExportStatus(sample_lines(), "B", 5, kFixedTime - 22, prompt);

    EXPECT_EQ(log.events, std::vector<std::string>{"dialog:B5 Status_2015-07-08 14_02_47.xlsx"});
    EXPECT_EQ(traced, "filePath:" + out + "\nsheets.get_Count():1\nB5-20150708-140309-StatusInformation\n");
    EXPECT_EQ(recorder->find(dispid::kUserControl, InvokeKind::PropertyPut).size(), 1u);
    // Title, three headings, nine sections, 74 labels and 74 texts a sheet.
    EXPECT_EQ(recorder->find(dispid::kItem, InvokeKind::PropertyPut).size(), 2u * 161u);
    for (const RecordedCall* c : recorder->find(dispid::kItem, InvokeKind::PropertyPut)) {
        EXPECT_EQ(c->args[0].vt, automation::VT_I4);
        EXPECT_EQ(c->args[1].vt, automation::VT_I4);
        EXPECT_EQ(c->putValue->vt, automation::VT_BSTR);
    }
    const auto add = recorder->find(dispid::kAdd, InvokeKind::Method);
    ASSERT_EQ(add.size(), 2u);  // the workbook, then the sheet after the first
    ASSERT_EQ(add[1]->args.size(), 4u);
    EXPECT_TRUE(add[1]->args[0].omitted());
    EXPECT_EQ(add[1]->args[1].vt, automation::VT_DISPATCH);
    EXPECT_EQ(add[1]->args[2].vt, automation::VT_I4);
    EXPECT_TRUE(add[1]->args[3].omitted());
    // Thick boxes: three headings, and three blocks for each of nine sections, per sheet.
    const auto borders = recorder->find(dispid::kBorderAround, InvokeKind::Method);
    EXPECT_EQ(borders.size(), 2u * (3u + 27u));
    for (const RecordedCall* c : borders) EXPECT_EQ(c->args[1].number, excel::kWeightThick);
    EXPECT_EQ(recorder->index_of(dispid::kQuit, InvokeKind::Method), static_cast<int>(recorder->calls.size()) - 1);
    EXPECT_EQ(recorder->alive, 0);
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST_F(StatusExport, CancelStartsNothingAndSaysNothing) {
    auto recorder = install_recording_engine();
    ScriptedSavePrompt prompt(log, std::nullopt);
    ExportStatus(sample_lines(), "A", 0, kFixedTime, prompt);
    EXPECT_EQ(log.events, std::vector<std::string>{"dialog:A0 Status_2015-07-08 14_03_09.xlsx"});
    EXPECT_EQ(recorder->created, 0);
    EXPECT_EQ(traced, "");
    EXPECT_TRUE(files().empty());
}

TEST_F(StatusExport, WithoutTheServerTheMessageFollowsThePath) {
    automation::unregister_class("Excel.Application");
    ScriptedSavePrompt prompt(log, path("s.xlsx"));
    ExportStatus(sample_lines(), "A", 7, kFixedTime, prompt);
    EXPECT_EQ(log.events, (std::vector<std::string>{"dialog:A7 Status_2015-07-08 14_03_09.xlsx",
                                                    std::string("message:") + kCreateFails}));
    EXPECT_TRUE(files().empty());
}

TEST_F(StatusExport, AnIncompleteRecordIsReportedAndNothingStarts) {
    auto recorder = install_recording_engine();
    std::vector<StatusLine> items = sample_lines();
    items.pop_back();
    ScriptedSavePrompt prompt(log, path("s.xlsx"));
    EXPECT_FALSE(run_export([&] { ExportStatus(items, "A", 7, kFixedTime, prompt); }));
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1], "message:The status record holds 73 items instead of 74; no workbook was written.");
    EXPECT_EQ(recorder->created, 0);
}

}  // namespace

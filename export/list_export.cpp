#include "list_export.h"

#include "excel_object_model.h"
#include "excel_wrappers.h"
#include "print_layout.h"
#include "prompts.h"
#include "export_clock.h"
#include "trace.h"
#include "workbook_run.h"
#include "wide_text.h"

#include <cstdio>
#include <limits>

using automation::Variant;

namespace {

constexpr int kHeaderRow = 2;
constexpr int kGridRowHeight = 20;
constexpr int kHeaderFontSize = 11;
// The grid always spans these columns, whatever the list holds.
constexpr char kGridFirstColumn = 'B';
constexpr char kGridLastColumn = 'H';

enum class ListKind { TestResults, Details };

// The list layout's objects, in the order they are taken (and so let go in
// reverse: font, grid cell, working range, sheet).
struct ListRun {
    CExcelWorksheet sheet;
    CExcelRange range;  // the range being formatted
    CExcelRange cell;   // one grid cell
    CExcelFont font;
};

Variant text_variant(const std::string& utf8) { return Variant::Text(utf8); }

// A count for Resize: VT_I2 as the lists always send it; a count past the
// 16-bit range goes as VT_I4 instead of wrapping round.
Variant count_variant(std::size_t n) {
    if (n <= static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        return Variant::I2(static_cast<std::int16_t>(n));
    }
    return Variant::I4(static_cast<std::int32_t>(n));
}

void set_header_font(CExcelRange& range, CExcelFont& font) {
    font.AttachDispatch(range.get_Font());
    font.put_Bold(Variant::I4(1));
    font.put_Italic(Variant::I4(0));
    font.put_Size(Variant::I4(kHeaderFontSize));
}

// Header texts in row 2 from column B, each column given its width. The
// test results export centres each header cell as it goes; the details
// export centres the whole header range afterwards (A2 included).
std::string write_headers(ListRun& run, ListKind kind, const ListRowTexts& headings) {
    std::string ref;
    for (std::size_t i = 0; i < headings.size(); ++i) {
        FormatCellName(kHeaderRow, static_cast<int>(i) + 2, ref);
        run.range.AttachDispatch(run.sheet.get_Range(text_variant(ref), text_variant(ref)));
        if (kind == ListKind::TestResults) {
            run.range.put_HorizontalAlignment(Variant::I4(excel::kAlignCenter));
            run.range.put_VerticalAlignment(Variant::I4(excel::kAlignCenter));
        }
        run.range.put_Value2(text_variant(headings[i]));
        const int width = kListColumnWidths[i < kListColumnCount ? i : kListColumnCount - 1];
        Variant sameColumn = run.range.get_Item(Variant::I4(static_cast<std::int32_t>(i) + 2),
                                                automation::g_optionalArgument);
        run.range.AttachDispatch(sameColumn.detach_dispatch());
        run.range.put_ColumnWidth(Variant::I4(width));
    }
    return ref;  // the last header cell, e.g. "H2 "
}

void format_header_range(ListRun& run, ListKind kind, const std::string& lastRef) {
    run.range.AttachDispatch(run.sheet.get_Range(text_variant("A2 "), text_variant(lastRef)));
    if (kind == ListKind::Details) {
        run.range.put_RowHeight(Variant::I4(kGridRowHeight));
        run.range.put_HorizontalAlignment(Variant::I4(excel::kAlignCenter));
        run.range.put_VerticalAlignment(Variant::I4(excel::kAlignCenter));
    }
    set_header_font(run.range, run.font);
}

// A thin box around every cell of columns B..H, rows 2..R+2, centred, rows
// 20 high.
void draw_grid(ListRun& run, ListKind kind, std::size_t rowCount,
               const automation::OptionalArgument& optional) {
    for (char column = kGridFirstColumn; column <= kGridLastColumn; ++column) {
        for (std::size_t k = kHeaderRow; k <= rowCount + kHeaderRow; ++k) {
            char ref[10] = {};
            std::snprintf(ref, sizeof ref, "%c%zu", column, k);
            run.cell.AttachDispatch(run.sheet.get_Range(text_variant(ref), text_variant(ref)));
            run.cell.BorderAround(Variant::I2(excel::kLineContinuous), excel::kWeightThin, 1, optional);
            if (kind == ListKind::TestResults) {
                run.cell.put_VerticalAlignment(Variant::I2(excel::kAlignCenter));
                run.cell.put_HorizontalAlignment(Variant::I4(excel::kAlignCenter));
            } else {
                run.cell.put_HorizontalAlignment(Variant::I4(excel::kAlignCenter));
                run.cell.put_VerticalAlignment(Variant::I4(excel::kAlignCenter));
            }
            run.cell.put_RowHeight(Variant::I4(kGridRowHeight));
        }
    }
}

// All list texts in one call: an (R+1) x (C+1) array whose column 0 and
// last row stay empty, placed from A3.
void write_values(ListRun& run, const std::vector<ListRowTexts>& rows,
                  const automation::OptionalArgument& optional) {
    const std::size_t columns = kListColumnCount;
    automation::SafeArray values(rows.size() + 1, columns + 1);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            values.put_element(r, c + 1, utf8_to_utf16(rows[r][c]));
        }
    }
    run.range.AttachDispatch(run.sheet.get_Range(text_variant("A3 "), optional));
    run.range.AttachDispatch(run.range.get_Resize(count_variant(rows.size() + 1), count_variant(columns + 1)));
    Variant block = Variant::Array(std::move(values));
    run.range.put_Value2(block);
    block.clear();
}

void fill_list_sheet(ListRun& run, ListKind kind, const ListTable& list,
                     const automation::OptionalArgument& optional) {
    const std::string lastRef = write_headers(run, kind, list.headings);
    format_header_range(run, kind, lastRef);
    draw_grid(run, kind, list.rows.size(), optional);
    write_values(run, list.rows, optional);
    // The header row heads every printed page.
    set_print_layout(run.sheet, excel::kLandscape, "$2:$2");
}

void run_list_export(ListKind kind, const ListReader& readList, const std::string& proposedName,
                     SavePrompt& prompt) {
    const automation::OptionalArgument optional;
    WorkbookRun<ListRun> run;
    if (!run.start()) return;
    const std::optional<std::string> path = prompt.ask_save_path(proposedName);
    if (!path) {
        trace("打开文件失败！&& 取消保存");
        return;  // every object is let go, the application without Quit
    }
    trace("filePath:%s\n", path->c_str());
    trace("%s\n", path->c_str());

    // The list as it stands now, read once.
    const ListTable list = readList();

    run.add_workbook(optional);
    ListRun& objects = run.layout();
    objects.sheet.AttachDispatch(run.sheets().get_Item(Variant::I2(1)));
    objects.sheet.put_Name(utf8_to_utf16(kListSheetName));

    fill_list_sheet(objects, kind, list, optional);

    run.save_and_quit(*path);
}

}  // namespace

std::string export_timestamp(std::time_t when) {
    const std::tm local = export_local_time(when);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H_%M_%S", &local);
    return text;
}

void ExportTestResults(const ListReader& list, SavePrompt& prompt) {
    const std::string timestamp = export_timestamp(export_now());
    trace("pstrDateTime:%s", timestamp.c_str());
    run_list_export(ListKind::TestResults, list, "TestResult_" + timestamp + ".xlsx", prompt);
}

void ExportDetails(const ListReader& list, std::string_view unitAddress, SavePrompt& prompt) {
    const std::string timestamp = export_timestamp(export_now());
    run_list_export(ListKind::Details, list,
                    std::string(unitAddress) + " Test Details_" + timestamp + ".xlsx", prompt);
}

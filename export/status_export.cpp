#include "status_export.h"

#include "excel_object_model.h"
#include "excel_wrappers.h"
#include "export_clock.h"
#include "list_export.h"
#include "workbook_run.h"
#include "print_layout.h"
#include "prompts.h"
#include "trace.h"
#include "wide_text.h"

#include <cstdio>
#include <stdexcept>

using automation::Variant;

namespace {

constexpr int kFirstItemRow = 3;
constexpr int kFontSize = 11;
constexpr const char* kLogSheetName = "LOG";
constexpr const char* kExplanationsSheetName = "Log Explanations";
// Widths of columns A to D.
constexpr int kLogWidths[4] = {28, 45, 10, 10};
constexpr int kExplanationWidths[4] = {28, 45, 60, 60};
// Sections whose values are numbers with units, shown left-aligned.
constexpr const char* kLeftAlignedSections[] = {"Default parameters", "Additional information"};

// A run of consecutive items with one section name: rows first..last.
struct SectionBlock {
    std::string name;
    int firstRow;
    int lastRow;
};

std::vector<SectionBlock> section_blocks(const std::vector<StatusLine>& items) {
    std::vector<SectionBlock> blocks;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int row = kFirstItemRow + static_cast<int>(i);
        if (blocks.empty() || blocks.back().name != items[i].section) {
            blocks.push_back({items[i].section, row, row});
        } else {
            blocks.back().lastRow = row;
        }
    }
    return blocks;
}

// The status layout's objects, in the order they are taken (and so let go
// in reverse: font, cells, title, range, explanations, the first sheet).
struct StatusRun {
    CExcelWorksheet sheet;         // the first sheet, "LOG"
    CExcelWorksheet explanations;  // "Log Explanations"
    CExcelRange range;
    CExcelRange title;
    CExcelRange cells;
    CExcelFont font;
};

std::string cell_ref(char column, int row) {
    char ref[16];
    std::snprintf(ref, sizeof ref, "%c%d", column, row);
    return ref;
}

Variant text(const std::string& utf8) { return Variant::Text(utf8); }

void select(StatusRun& run, CExcelWorksheet& sheet, const std::string& from, const std::string& to) {
    run.range.AttachDispatch(sheet.get_Range(text(from), text(to)));
}

void thick_box(StatusRun& run, CExcelWorksheet& sheet, const std::string& from, const std::string& to,
               const automation::OptionalArgument& optional) {
    select(run, sheet, from, to);
    run.range.BorderAround(Variant::I2(excel::kLineContinuous), excel::kWeightThick, 1, optional);
}

void bold_font(CExcelRange& range, CExcelFont& font) {
    font.AttachDispatch(range.get_Font());
    font.put_Bold(Variant::I4(1));
    font.put_Italic(Variant::I4(0));
    font.put_Size(Variant::I4(kFontSize));
}

void set_widths(StatusRun& run, CExcelWorksheet& sheet, const int (&widths)[4]) {
    std::string ref;
    for (int column = 1; column <= 4; ++column) {
        FormatCellName(1, column, ref);
        select(run, sheet, ref, ref);
        Variant sameColumn = run.range.get_Item(Variant::I4(column), automation::g_optionalArgument);
        run.range.AttachDispatch(sameColumn.detach_dispatch());
        run.range.put_ColumnWidth(Variant::I4(widths[column - 1]));
    }
}

bool left_aligned(const std::string& section) {
    for (const char* name : kLeftAlignedSections) {
        if (section == name) return true;
    }
    return false;
}

// One sheet: title over A1:C1, the headings, then each section with its
// boxes, its merged name cell, its labels and its column C texts.
void write_sheet(StatusRun& run, CExcelWorksheet& sheet, const std::string& title,
                 const char* columnCHeading, const std::vector<StatusLine>& items,
                 const std::vector<std::string>& columnC, const automation::OptionalArgument& optional) {
    run.title.AttachDispatch(sheet.get_Range(text("A1"), text("C1")));
    run.title.Merge(Variant::I4(0));
    run.title.put_Item(Variant::I4(1), Variant::I4(1), text(title));
    run.title.put_HorizontalAlignment(Variant::I4(excel::kAlignCenter));
    run.title.put_VerticalAlignment(Variant::I4(excel::kAlignCenter));
    bold_font(run.title, run.font);

    select(run, sheet, "A2", "C2");
    bold_font(run.range, run.font);

    const char* headings[3] = {"Section", "Item", columnCHeading};
    for (int column = 1; column <= 3; ++column) {
        run.title.put_Item(Variant::I4(2), Variant::I4(column), text(headings[column - 1]));
    }
    for (char column : {'A', 'B', 'C'}) thick_box(run, sheet, cell_ref(column, 2), cell_ref(column, 2), optional);

    for (const SectionBlock& block : section_blocks(items)) {
        for (char column : {'A', 'B', 'C'}) {
            thick_box(run, sheet, cell_ref(column, block.firstRow), cell_ref(column, block.lastRow), optional);
        }
        if (left_aligned(block.name)) {
            select(run, sheet, cell_ref('C', block.firstRow), cell_ref('C', block.lastRow));
            run.range.put_HorizontalAlignment(Variant::I4(excel::kAlignLeft));
            run.range.put_VerticalAlignment(Variant::I4(excel::kAlignCenter));
        }
        select(run, sheet, cell_ref('A', block.firstRow), cell_ref('A', block.lastRow));
        run.range.Merge(Variant::I4(0));

        run.cells.AttachDispatch(sheet.get_Cells());
        run.cells.put_Item(Variant::I4(block.firstRow), Variant::I4(1), text(block.name));
        for (int row = block.firstRow; row <= block.lastRow; ++row) {
            run.cells.put_Item(Variant::I4(row), Variant::I4(2),
                               text(items[static_cast<std::size_t>(row - kFirstItemRow)].label));
        }
        for (int row = block.firstRow; row <= block.lastRow; ++row) {
            run.cells.put_Item(Variant::I4(row), Variant::I4(3),
                               text(columnC[static_cast<std::size_t>(row - kFirstItemRow)]));
        }
    }
}

std::string log_title(std::string_view lineLetter, int shortAddress, std::time_t when) {
    const std::tm t = export_local_time(when);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    char title[128];
    std::snprintf(title, sizeof title, "%s%d-%s-StatusInformation", std::string(lineLetter).c_str(),
                  shortAddress, stamp);
    return title;
}

}  // namespace

void ExportStatus(const std::vector<StatusLine>& items, std::string_view lineLetter, int shortAddress,
                  std::time_t printTime, SavePrompt& prompt) {
    char address[16];
    std::snprintf(address, sizeof address, "%d", shortAddress);
    const std::string proposed = std::string(lineLetter) + address + " Status_" +
                                 export_timestamp(printTime) + ".xlsx";
    const std::optional<std::string> path = prompt.ask_save_path(proposed);
    if (!path) return;  // nothing is started, nothing is said
    trace("filePath:%s\n", path->c_str());
    WriteStatusWorkbook(items, lineLetter, shortAddress, *path);
}

void WriteStatusWorkbook(const std::vector<StatusLine>& items, std::string_view lineLetter,
                         int shortAddress, const std::string& path) {
    if (items.size() != static_cast<std::size_t>(kStatusLineCount)) {
        throw std::invalid_argument("The status record holds " + std::to_string(items.size()) +
                                    " items instead of " + std::to_string(kStatusLineCount) +
                                    "; no workbook was written.");
    }
    const automation::OptionalArgument optional;
    WorkbookRun<StatusRun> workbook;
    if (!workbook.start()) return;
    workbook.app().put_UserControl(true);
    workbook.add_workbook(optional);
    CExcelWorksheets& sheets = workbook.sheets();
    StatusRun& run = workbook.layout();
    run.sheet.AttachDispatch(sheets.get_Item(Variant::I2(1)));
    trace("sheets.get_Count():%d\n", static_cast<int>(sheets.get_Count()));

    run.sheet.AttachDispatch(sheets.get_Item(Variant::I4(1)));
    run.explanations.AttachDispatch(sheets.Add(
        optional, Variant::DispatchRef(run.sheet.dispatch()), Variant::I4(1), optional));
    run.explanations.put_Name(utf8_to_utf16(kExplanationsSheetName));

    set_widths(run, run.sheet, kLogWidths);
    set_widths(run, run.explanations, kExplanationWidths);

    const std::string title = log_title(lineLetter, shortAddress, export_now());
    trace("%s\n", title.c_str());
    run.sheet.AttachDispatch(sheets.get_Item(Variant::I4(1)));
    run.sheet.put_Name(utf8_to_utf16(kLogSheetName));

    std::vector<std::string> values;
    std::vector<std::string> explanations;
    for (std::size_t i = 0; i < items.size(); ++i) {
        values.push_back(items[i].value);
        explanations.push_back(kStatusExplanations[i].text);
    }
    write_sheet(run, run.sheet, title, "Value", items, values, optional);
    write_sheet(run, run.explanations, kExplanationsSheetName, "Explanations", items, explanations,
                optional);
    // The title and the headings head every printed page.
    set_print_layout(run.sheet, excel::kPortrait, "$1:$2");
    set_print_layout(run.explanations, excel::kPortrait, "$1:$2");

    workbook.save_and_quit(path);
}

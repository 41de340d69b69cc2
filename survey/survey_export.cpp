#include "survey_export.h"

#include "print_layout.h"
#include "workbook_run.h"

#include "excel_object_model.h"
#include "excel_wrappers.h"
#include "export_clock.h"
#include "list_export.h"
#include "prompts.h"
#include "trace.h"
#include "wide_text.h"

#include <algorithm>
#include <map>

using automation::Variant;

namespace {

constexpr int kTitleRow = 1;
constexpr int kFirstFactRow = 3;        // gateway, date and time, completeness
constexpr int kCountsHeaderRow = 7;     // verdict names; line A, line B, site below
constexpr int kAttentionTitleRow = 12;
constexpr int kTitleFontSize = 14;
constexpr int kMinColumnWidth = 6;
constexpr int kMaxColumnWidth = 60;
constexpr int kColumnPadding = 2;
// The chart sits right of everything on the Summary sheet: its top and
// size in points, and its gap to the last column.
constexpr int kChartTop = 15, kChartWidth = 400, kChartHeight = 230, kChartGap = 12;
// One character of column width is 7 pixels, 5.25 points, plus the cell's
// padding of 5 pixels.
constexpr double kPointsPerWidthChar = 5.25, kColumnPaddingPoints = 3.75;
// The counts' columns, in the order of the Verdict values.
constexpr Verdict kCountOrder[4] = {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead};
constexpr const char* kYes = "yes";
const std::string kNoText;

using Table = std::vector<std::vector<std::string>>;

Variant text(const std::string& utf8) { return Variant::Text(utf8); }

std::string ref(int row, int column) {
    std::string r;
    FormatCellName(row, column, r);
    return r;
}

std::size_t display_length(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;   // one per code point
    }));
}

// One sheet being written, with the objects it works through.
class SheetWriter {
public:
    explicit SheetWriter(automation::Dispatch* sheet) : sheet_(sheet) {}

    CExcelWorksheet& sheet() { return sheet_; }

    void name(const std::string& n) { sheet_.put_Name(utf8_to_utf16(n)); }

    // `rows` from (row, column) on, in one call.
    void block(int row, int column, const Table& rows) {
        std::size_t width = 0;
        for (const auto& r : rows) width = std::max(width, r.size());
        if (rows.empty() || width == 0) return;
        automation::SafeArray values(rows.size(), width);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (std::size_t j = 0; j < rows[i].size(); ++j) values.put_element(i, j, utf8_to_utf16(rows[i][j]));
        }
        select(row, column, row + static_cast<int>(rows.size()) - 1, column + static_cast<int>(width) - 1);
        Variant v = Variant::Array(std::move(values));
        range_.put_Value2(v);
        note_widths(column, rows);
    }

    void bold(int top, int left, int bottom, int right, int size = 0) {
        select(top, left, bottom, right);
        font_.AttachDispatch(range_.get_Font());
        font_.put_Bold(Variant::I4(1));
        if (size > 0) font_.put_Size(Variant::I4(size));
    }

    void fill(int row, int column, int colorIndex) {
        if (colorIndex == 0) return;
        select(row, column, row, column);
        interior_.AttachDispatch(range_.get_Interior());
        interior_.put_ColorIndex(Variant::I4(colorIndex));
    }

    void autofilter(int top, int left, int bottom, int right) {
        if (bottom <= top) return;   // a header alone has nothing to filter
        select(top, left, bottom, right);
        range_.AutoFilter();
    }

    // After size_columns: the chart goes right of the widest column.
    void chart(int top, int left, int bottom, int right) {
        double used = 0;
        for (const auto& [column, chars] : widths_) used += column_width(chars) * kPointsPerWidthChar + kColumnPaddingPoints;
        CExcelChartObjects frames(sheet_.ChartObjects());
        CExcelChartObject frame(frames.Add(static_cast<std::int32_t>(used) + kChartGap, kChartTop, kChartWidth, kChartHeight));
        CExcelChart chart(frame.get_Chart());
        chart.put_ChartType(excel::kChartColumnClustered);
        select(top, left, bottom, right);
        chart.SetSourceData(Variant::DispatchRef(range_.dispatch()), Variant::I4(excel::kPlotByColumns));
    }

    // Every column as wide as its longest text, within bounds.
    void size_columns() {
        for (const auto& [column, chars] : widths_) {
            select(1, column, 1, column);
            range_.put_ColumnWidth(Variant::I4(column_width(chars)));
        }
    }

private:
    static int column_width(std::size_t chars) {
        return std::clamp(static_cast<int>(chars) + kColumnPadding, kMinColumnWidth, kMaxColumnWidth);
    }
    void select(int top, int left, int bottom, int right) {
        range_.AttachDispatch(sheet_.get_Range(text(ref(top, left)), text(ref(bottom, right))));
    }
    void note_widths(int column, const Table& rows) {
        for (const auto& r : rows) {
            for (std::size_t j = 0; j < r.size(); ++j) {
                std::size_t& w = widths_[column + static_cast<int>(j)];
                w = std::max(w, display_length(r[j]));
            }
        }
    }

    CExcelWorksheet sheet_;
    CExcelRange range_;
    CExcelFont font_;
    CExcelInterior interior_;
    std::map<int, std::size_t> widths_;
};

std::string local_time_text(std::time_t when) {
    const std::tm t = export_local_time(when);
    char out[32];
    std::strftime(out, sizeof out, "%Y/%m/%d %H:%M:%S", &t);
    return out;
}


void write_summary(SheetWriter& w, const SiteSurvey& s) {
    w.name(kSurveySummarySheet);
    w.block(kTitleRow, 1, {{"Site survey"}});
    w.bold(kTitleRow, 1, kTitleRow, 1, kTitleFontSize);
    w.block(kFirstFactRow, 1,
            {{"Gateway", s.gateway},
             {"Date and time", local_time_text(s.started)},
             {"Survey", s.complete() ? "complete" : "incomplete: " + s.incomplete_reason()}});

    const VerdictCounts counts = count_verdicts(s);
    Table table{{""}};
    for (const Verdict v : kCountOrder) table[0].push_back(verdict_style(v).text);
    const std::pair<const char*, const std::array<int, 4>*> lines[] = {
        {"Line A", &counts.lineA}, {"Line B", &counts.lineB}, {"Whole site", &counts.site}};
    for (const auto& [label, c] : lines) {
        table.push_back({label});
        for (const Verdict v : kCountOrder) table.back().push_back(std::to_string((*c)[static_cast<std::size_t>(v)]));
    }
    w.block(kCountsHeaderRow, 1, table);
    w.bold(kCountsHeaderRow, 1, kCountsHeaderRow, 5);

    w.block(kAttentionTitleRow, 1, {{"Needs attention"}, {"Address", "Name", "Location", "Verdict", "Why"}});
    w.bold(kAttentionTitleRow, 1, kAttentionTitleRow + 1, 5);
    Table attention;
    for (const SurveyedLuminaire* l : attention_list(s))
        attention.push_back({l->address(), l->name, l->location, verdict_style(l->verdict()).text, l->why()});
    const int first = kAttentionTitleRow + 2;
    w.block(first, 1, attention);
    for (std::size_t i = 0; i < attention.size(); ++i)
        w.fill(first + static_cast<int>(i), 4, verdict_style(attention_list(s)[i]->verdict()).colorIndex);
    w.size_columns();
    w.chart(kCountsHeaderRow, 1, kCountsHeaderRow + 3, 5);
}

void write_luminaires(SheetWriter& w, const SiteSurvey& s, CExcelApplication& app) {
    w.name(kSurveyLuminairesSheet);
    const std::vector<std::string> headings = survey_luminaire_headings();
    Table table{headings};
    for (const SurveyedLuminaire& l : s.luminaires) table.push_back(survey_luminaire_row(l));
    w.block(1, 1, table);
    w.bold(1, 1, 1, static_cast<int>(headings.size()));
    constexpr int kVerdictColumn = 4;
    for (std::size_t i = 0; i < s.luminaires.size(); ++i)
        w.fill(static_cast<int>(i) + 2, kVerdictColumn, verdict_style(s.luminaires[i].verdict()).colorIndex);
    w.autofilter(1, 1, static_cast<int>(s.luminaires.size()) + 1, static_cast<int>(headings.size()));
    w.size_columns();
    // The header stays in view while scrolling.
    w.sheet().Activate();
    CExcelWindow window(app.get_ActiveWindow());
    window.put_SplitRow(Variant::I4(1));
    window.put_FreezePanes(true);
}

bool uses_logbook(const SiteSurvey& s) {
    return std::any_of(s.luminaires.begin(), s.luminaires.end(), [](const SurveyedLuminaire& l) { return l.logged; });
}

// Every entry the gateway holds; with a logbook, every entry ever read and
// the remarks, each marked whether the gateway still holds it.
void write_history(SheetWriter& w, const SiteSurvey& s) {
    w.name(kSurveyHistorySheet);
    const bool logged = uses_logbook(s);
    Table table{std::vector<std::string>(kResultColumns.begin(), kResultColumns.end())};
    if (logged) table[0].push_back(kOnGatewayHeading);
    for (const SurveyedLuminaire& l : s.luminaires) {
        if (logged && l.logged) {
            for (const LoggedLine& line : *l.logged) table.emplace_back(line.texts.begin(), line.texts.end());
        } else {
            for (const RowTexts& row : l.history) table.emplace_back(row.begin(), row.end());
        }
    }
    w.block(1, 1, table);
    w.bold(1, 1, 1, static_cast<int>(table[0].size()));
    w.size_columns();
}

automation::Dispatch* add_sheet_after(CExcelWorksheets& sheets, CExcelWorksheet& last) {
    const automation::OptionalArgument optional;
    return sheets.Add(optional, Variant::DispatchRef(last.dispatch()), Variant::I4(1),
                      Variant::I4(excel::kSheetTypeWorksheet));
}

// "yes" for a bit the gateway set; a test overdue by the logbook says when
// it was last run.
std::string failure_cell(const SurveyedLuminaire& l, const FailureBitRule& rule) {
    if (!l.status_read()) return "";
    const bool bit = (l.failure_bits() >> rule.bit & 1U) != 0;
    const std::string& last = rule.bit == kFunctionOverdueBit ? l.overdue.functionLast
                              : rule.bit == kDurationOverdueBit ? l.overdue.durationLast
                                                                : kNoText;
    if (!last.empty()) return std::string(kYes) + " (" + kLastInLogbookWords + " " + last + ")";
    return bit ? kYes : "";
}

}  // namespace

std::vector<std::string> survey_luminaire_headings() {
    std::vector<std::string> h = {"Address", "Name", "Location", "Verdict"};
    for (const FailureBitRule& rule : kFailureBitRules) h.push_back(rule.heading);
    for (const char* t : {"Battery charge (%)", "Last test type", "Last test date", "Last test result",
                          "Last test minutes", "Hours to function test", "Hours to duration test", "Not read because"})
        h.push_back(t);
    return h;
}

std::vector<std::string> survey_luminaire_row(const SurveyedLuminaire& l) {
    std::vector<std::string> row = {l.address(), l.name, l.location, verdict_style(l.verdict()).text};
    for (const FailureBitRule& rule : kFailureBitRules)
        row.push_back(failure_cell(l, rule));
    row.push_back(l.status_read() ? std::to_string(l.battery_charge()) : "");
    if (l.latest) {
        for (const ResultColumn c : {kColType, kColTestDate, kColResult, kColMinutes}) row.push_back((*l.latest)[c]);
    } else {
        row.insert(row.end(), 4, "");
    }
    row.push_back(l.status_read() ? std::to_string(l.hours_to_function_test()) : "");
    row.push_back(l.status_read() ? std::to_string(l.hours_to_duration_test()) : "");
    row.push_back(l.status_read() ? "" : l.reason);
    return row;
}

std::string survey_proposed_name(const SiteSurvey& survey) {
    return "Site survey_" + export_timestamp(survey.started) + ".xlsx";
}

void ExportSiteSurvey(const SiteSurvey& survey, SavePrompt& prompt) {
    CExcelApplication app;
    if (!app.CreateDispatch("Excel.Application")) {
        prompts().message_box(kCreateFailsMessage);
        return;
    }
    const std::optional<std::string> path = prompt.ask_save_path(survey_proposed_name(survey));
    if (!path) return;
    trace("filePath:%s\n", path->c_str());

    CExcelWorkbooks books(app.get_Workbooks());
    CExcelWorkbook book(books.Add(automation::OptionalArgument()));
    CExcelWorksheets sheets(book.get_Worksheets());
    {
        // Each sheet prints landscape, one page wide, its heading row on
        // every page.
        SheetWriter summary(sheets.get_Item(Variant::I2(1)));
        write_summary(summary, survey);
        set_print_layout(summary.sheet(), excel::kLandscape, "$1:$1");
        SheetWriter luminaires(add_sheet_after(sheets, summary.sheet()));
        write_luminaires(luminaires, survey, app);
        set_print_layout(luminaires.sheet(), excel::kLandscape, "$1:$1");
        SheetWriter history(add_sheet_after(sheets, luminaires.sheet()));
        write_history(history, survey);
        set_print_layout(history.sheet(), excel::kLandscape, "$1:$1");
    }
    book.SaveCopyAs(text(*path));
    book.put_Saved(true);
    sheets.ReleaseDispatch();
    book.ReleaseDispatch();
    books.ReleaseDispatch();
    app.Quit();
}

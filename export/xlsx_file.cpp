#include "xlsx_file.h"

#include "excel_object_model.h"
#include "xlsx_write.h"

#include <xlsxwriter.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

// The 56 colours of a new workbook's palette, index 1 first.
constexpr std::array<unsigned, 56> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

std::uint8_t lxw_border(const BorderSide& side) {
    const bool heavy = side.weight == excel::kWeightMedium || side.weight == excel::kWeightThick;
    switch (side.lineStyle) {
        case excel::kLineContinuous:
            switch (side.weight) {
                case excel::kWeightHairline: return LXW_BORDER_HAIR;
                case excel::kWeightMedium: return LXW_BORDER_MEDIUM;
                case excel::kWeightThick: return LXW_BORDER_THICK;
                default: return LXW_BORDER_THIN;
            }
        case excel::kLineDash: return heavy ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
        case excel::kLineDot: return LXW_BORDER_DOTTED;
        case excel::kLineDouble: return LXW_BORDER_DOUBLE;
        case excel::kLineDashDot: return heavy ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
        case excel::kLineDashDotDot:
            return heavy ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
        case excel::kLineSlantDashDot: return LXW_BORDER_SLANT_DASH_DOT;
        default: return LXW_BORDER_NONE;
    }
}

std::uint8_t lxw_horizontal(int value) {
    switch (value) {
        case excel::kAlignLeft: return LXW_ALIGN_LEFT;
        case excel::kAlignCenter: return LXW_ALIGN_CENTER;
        case excel::kAlignRight: return LXW_ALIGN_RIGHT;
        case excel::kAlignFill: return LXW_ALIGN_FILL;
        case excel::kAlignJustify: return LXW_ALIGN_JUSTIFY;
        case excel::kAlignCenterAcrossSelection: return LXW_ALIGN_CENTER_ACROSS;
        case excel::kAlignDistributed: return LXW_ALIGN_DISTRIBUTED;
        default: return LXW_ALIGN_NONE;
    }
}

std::uint8_t lxw_vertical(int value) {
    switch (value) {
        case excel::kAlignTop: return LXW_ALIGN_VERTICAL_TOP;
        case excel::kAlignCenter: return LXW_ALIGN_VERTICAL_CENTER;
        case excel::kAlignJustify: return LXW_ALIGN_VERTICAL_JUSTIFY;
        case excel::kAlignDistributed: return LXW_ALIGN_VERTICAL_DISTRIBUTED;
        default: return LXW_ALIGN_NONE;  // bottom, the file's default
    }
}

lxw_color_t lxw_colour(int colorIndex) {
    const unsigned rgb = palette_rgb(colorIndex);
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : static_cast<lxw_color_t>(rgb);
}

// One lxw_format per distinct style, made on first use and never changed.
class FormatCache {
public:
    explicit FormatCache(lxw_workbook* book) : book_(book) {}

    lxw_format* get(const CellStyle& style) {
        const auto it = formats_.find(style);
        if (it != formats_.end()) return it->second;
        lxw_format* format = workbook_add_format(book_);
        if (format == nullptr) return nullptr;
        using Setter = void (*)(lxw_format*, std::uint8_t);
        using ColourSetter = void (*)(lxw_format*, lxw_color_t);
        const std::array<Setter, 4> setters = {format_set_left, format_set_top, format_set_right,
                                               format_set_bottom};
        const std::array<ColourSetter, 4> colourSetters = {
            format_set_left_color, format_set_top_color, format_set_right_color,
            format_set_bottom_color};
        for (std::size_t edge = 0; edge < 4; ++edge) {
            const BorderSide& side = style.borders[edge];
            const std::uint8_t kind = lxw_border(side);
            if (kind == LXW_BORDER_NONE) continue;
            setters[edge](format, kind);
            if (side.colorIndex >= 1 && side.colorIndex <= 56) {
                colourSetters[edge](format, lxw_colour(side.colorIndex));
            }
        }
        if (const auto h = lxw_horizontal(style.horizontal); h != LXW_ALIGN_NONE) format_set_align(format, h);
        if (const auto v = lxw_vertical(style.vertical); v != LXW_ALIGN_NONE) format_set_align(format, v);
        if (style.bold) format_set_bold(format);
        if (style.italic) format_set_italic(format);
        if (style.size != CellStyle{}.size) format_set_font_size(format, style.size);
        if (style.fillColorIndex >= 1 && style.fillColorIndex <= 56) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, lxw_colour(style.fillColorIndex));
        }
        formats_.emplace(style, format);
        return format;
    }

private:
    lxw_workbook* book_;
    std::map<CellStyle, lxw_format*> formats_;
};

lxw_error write_cell(lxw_worksheet* sheet, int row, int column, const Cell& cell, lxw_format* format) {
    const auto r = static_cast<lxw_row_t>(row - 1);
    const auto c = static_cast<lxw_col_t>(column - 1);
    switch (cell.value.kind) {
        case CellValue::Kind::Text: return worksheet_write_string(sheet, r, c, cell.value.text.c_str(), format);
        case CellValue::Kind::Number: return worksheet_write_number(sheet, r, c, cell.value.number, format);
        case CellValue::Kind::Boolean:
            return worksheet_write_boolean(sheet, r, c, cell.value.boolean ? 1 : 0, format);
        case CellValue::Kind::Empty: return worksheet_write_blank(sheet, r, c, format);
    }
    return LXW_NO_ERROR;
}

// The sheet's print settings; a default layout writes nothing.
lxw_error write_page_layout(lxw_worksheet* sheet, const PageLayout& layout) {
    if (layout.orientation == excel::kLandscape) worksheet_set_landscape(sheet);
    if (layout.orientation == excel::kPortrait) worksheet_set_portrait(sheet);
    if (layout.paperSize != 0) worksheet_set_paper(sheet, static_cast<std::uint8_t>(layout.paperSize));
    if (layout.fits_to_pages()) {
        worksheet_fit_to_pages(sheet, static_cast<std::uint16_t>(layout.fitWide),
                               static_cast<std::uint16_t>(layout.fitTall));
    } else if (layout.zoom != 100) {
        worksheet_set_print_scale(sheet, static_cast<std::uint16_t>(layout.zoom));
    }
    if (layout.titleFirstRow != 0) {
        if (const lxw_error e = worksheet_repeat_rows(sheet, static_cast<lxw_row_t>(layout.titleFirstRow - 1),
                                                      static_cast<lxw_row_t>(layout.titleLastRow - 1))) {
            return e;
        }
    }
    if (!layout.centerFooter.empty()) {
        if (const lxw_error e = worksheet_set_footer(sheet, ("&C" + layout.centerFooter).c_str())) return e;
    }
    return LXW_NO_ERROR;
}

// Points to pixels at the file's 96 dots per inch.
double pixels(int points) { return points * 96.0 / 72.0; }

// One native chart: a series per column of the source block (or per row),
// named by its first cell, over the categories of the first row or column.
lxw_error write_chart(lxw_workbook* book, lxw_worksheet* sheet, const ChartModel& model) {
    if (model.sourceSheet.empty()) return LXW_NO_ERROR;   // never given data: nothing to draw
    constexpr double kDefaultWidthPx = 480, kDefaultHeightPx = 288;   // the library's chart size
    const std::uint8_t type =
        model.type == excel::kChartBarClustered ? LXW_CHART_BAR : LXW_CHART_COLUMN;
    lxw_chart* chart = workbook_add_chart(book, type);
    if (chart == nullptr) return LXW_ERROR_MEMORY_MALLOC_FAILED;
    const CellRect& r = model.source;
    const char* name = model.sourceSheet.c_str();
    const auto row = [](int v) { return static_cast<lxw_row_t>(v - 1); };
    const auto col = [](int v) { return static_cast<lxw_col_t>(v - 1); };
    const bool byColumns = model.plotBy != excel::kPlotByRows;
    const int seriesCount = byColumns ? r.columns() - 1 : r.rows() - 1;
    for (int i = 1; i <= seriesCount; ++i) {
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        if (series == nullptr) return LXW_ERROR_MEMORY_MALLOC_FAILED;
        if (byColumns) {
            chart_series_set_categories(series, name, row(r.top + 1), col(r.left), row(r.bottom), col(r.left));
            chart_series_set_values(series, name, row(r.top + 1), col(r.left + i), row(r.bottom), col(r.left + i));
            chart_series_set_name_range(series, name, row(r.top), col(r.left + i));
        } else {
            chart_series_set_categories(series, name, row(r.top), col(r.left + 1), row(r.top), col(r.right));
            chart_series_set_values(series, name, row(r.top + i), col(r.left + 1), row(r.top + i), col(r.right));
            chart_series_set_name_range(series, name, row(r.top + i), col(r.left));
        }
    }
    lxw_chart_options options{};
    options.x_offset = static_cast<std::int32_t>(pixels(model.left));
    options.y_offset = static_cast<std::int32_t>(pixels(model.top));
    options.x_scale = pixels(model.width) / kDefaultWidthPx;
    options.y_scale = pixels(model.height) / kDefaultHeightPx;
    return worksheet_insert_chart_opt(sheet, 0, 0, chart, &options);
}

// Frozen panes, the filter and the charts of a sheet.
lxw_error write_sheet_view(lxw_workbook* book, lxw_worksheet* sheet, const WorksheetModel& model) {
    if (model.freeze_rows() > 0 || model.freeze_columns() > 0) {
        worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(model.freeze_rows()),
                               static_cast<lxw_col_t>(model.freeze_columns()));
    }
    if (const auto& f = model.autofilter()) {
        if (const lxw_error e = worksheet_autofilter(sheet, static_cast<lxw_row_t>(f->top - 1),
                                                     static_cast<lxw_col_t>(f->left - 1),
                                                     static_cast<lxw_row_t>(f->bottom - 1),
                                                     static_cast<lxw_col_t>(f->right - 1))) {
            return e;
        }
    }
    for (const ChartModel& chart : model.charts()) {
        if (const lxw_error e = write_chart(book, sheet, chart)) return e;
    }
    return LXW_NO_ERROR;
}

lxw_error write_sheet(lxw_workbook* book, const WorksheetModel& model, FormatCache& formats) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, model.name().c_str());
    if (sheet == nullptr) return LXW_ERROR_PARAMETER_VALIDATION;
    if (const lxw_error e = write_page_layout(sheet, model.page_layout())) return e;
    for (const auto& [column, width] : model.column_widths()) {
        const auto c = static_cast<lxw_col_t>(column - 1);
        if (const lxw_error e = worksheet_set_column(sheet, c, c, width, nullptr)) return e;
    }
    for (const auto& [row, height] : model.row_heights()) {
        if (const lxw_error e = worksheet_set_row(sheet, static_cast<lxw_row_t>(row - 1), height, nullptr)) {
            return e;
        }
    }
    // A merge first, with the upper-left cell's format; every cell of it
    // is then written again below with its own format, so the borders of
    // the edge cells come out right. Cells of a merge that have no format
    // of their own get the plain one, not the upper-left cell's.
    lxw_format* plain = formats.get(CellStyle{});
    for (const CellRect& m : model.merges()) {
        const Cell* topLeft = model.find(m.top, m.left);
        lxw_format* format = topLeft != nullptr ? formats.get(topLeft->style) : plain;
        if (const lxw_error e = worksheet_merge_range(
                sheet, static_cast<lxw_row_t>(m.top - 1), static_cast<lxw_col_t>(m.left - 1),
                static_cast<lxw_row_t>(m.bottom - 1), static_cast<lxw_col_t>(m.right - 1), "", format)) {
            return e;
        }
        for (int r = m.top; r <= m.bottom; ++r) {
            for (int c = m.left; c <= m.right; ++c) {
                if (model.find(r, c) == nullptr) {
                    worksheet_write_blank(sheet, static_cast<lxw_row_t>(r - 1),
                                          static_cast<lxw_col_t>(c - 1), plain);
                }
            }
        }
    }
    for (const auto& [where, cell] : model.cells()) {
        lxw_format* format = cell.style.is_default() ? nullptr : formats.get(cell.style);
        bool inMerge = false;
        for (const CellRect& m : model.merges()) inMerge = inMerge || m.contains(where.first, where.second);
        if (format == nullptr && inMerge) format = plain;
        if (const lxw_error e = write_cell(sheet, where.first, where.second, cell, format)) return e;
    }
    return write_sheet_view(book, sheet, model);
}

}  // namespace

unsigned palette_rgb(int colorIndex) {
    if (colorIndex < 1 || colorIndex > 56) return 0;
    return kDefaultPalette[static_cast<std::size_t>(colorIndex - 1)];
}

std::string write_xlsx(const WorkbookModel& model, const std::string& tempPath, std::time_t created,
                       const char* scratchFolder) {
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(scratchFolder);
    lxw_workbook* book = workbook_new_opt(tempPath.c_str(), &options);
    if (book == nullptr) return "the workbook could not be started (out of memory)";
    lxw_doc_properties properties{};
    properties.created = created;
    lxw_error error = workbook_set_properties(book, &properties);
    FormatCache formats(book);
    for (int i = 0; i < model.sheet_count() && error == LXW_NO_ERROR; ++i) {
        error = write_sheet(book, model.sheet(i), formats);
    }
    // workbook_close writes the file and frees the workbook in every case;
    // write errors (a full disk among them) show up only here.
    errno = 0;
    const lxw_error closeError = workbook_close(book);
    const int closeErrno = errno;
    if (error == LXW_NO_ERROR) error = closeError;
    if (error == LXW_NO_ERROR) return {};
    // The system's reason ("No space left on device") says more to the user
    // than the library's own text, when there is one.
    if (closeErrno != 0) return std::strerror(closeErrno);
    std::string reason = lxw_strerror(error);
    while (!reason.empty() && reason.back() == '.') reason.pop_back();
    return reason;
}

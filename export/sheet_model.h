// The in-memory workbook that the spreadsheet engine edits: sheets in
// order, cells with values and formats, merged areas, column widths and row
// heights. Rows and columns count from 1, as references do.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;

// One side of a cell's border, kept in the object model's own terms; the
// file writer maps them onto the file format's line kinds.
struct BorderSide {
    int lineStyle = 0;   // 0: no border; otherwise an excel::kLine* value
    int weight = 0;      // excel::kWeight*
    int colorIndex = 0;  // palette index 1..56, or excel::kColorIndexAutomatic
    friend auto operator<=>(const BorderSide&, const BorderSide&) = default;
};

enum BorderEdge { kEdgeLeft = 0, kEdgeTop = 1, kEdgeRight = 2, kEdgeBottom = 3 };

struct CellStyle {
    std::array<BorderSide, 4> borders{};  // indexed by BorderEdge
    int horizontal = 1;                   // excel::kAlignGeneral
    int vertical = -4107;                 // excel::kAlignBottom
    bool bold = false;
    bool italic = false;
    double size = 11;
    int fillColorIndex = 0;               // palette index 1..56 of a solid fill; 0: none
    bool is_default() const { return *this == CellStyle{}; }
    friend auto operator<=>(const CellStyle&, const CellStyle&) = default;
};

struct CellValue {
    enum class Kind { Empty, Text, Number, Boolean };
    Kind kind = Kind::Empty;
    std::string text;  // UTF-8, for Text
    double number = 0;
    bool boolean = false;
};

struct Cell {
    CellValue value;
    CellStyle style;
};

// A block of cells, inclusive on all sides.
struct CellRect {
    int top = 1, left = 1, bottom = 1, right = 1;
    int rows() const { return bottom - top + 1; }
    int columns() const { return right - left + 1; }
    bool contains(int row, int column) const {
        return row >= top && row <= bottom && column >= left && column <= right;
    }
    bool intersects(const CellRect& o) const {
        return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
    }
    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// How a sheet prints, in the object model's terms; zero or empty means the
// file format's default (the printer's paper, 100 %, no repeated rows).
struct PageLayout {
    int orientation = 0;      // 0, or excel::kPortrait / excel::kLandscape
    int paperSize = 0;        // 0, or an excel::kPaper* value
    int zoom = 100;           // per cent; 0 once Zoom is FALSE (fit to pages)
    int fitWide = 1;          // pages across, 0 as many as it takes; with zoom 0
    int fitTall = 1;          // pages down, likewise
    int titleFirstRow = 0;    // rows printed at the top of every page, 0: none
    int titleLastRow = 0;
    std::string centerFooter; // UTF-8, with the object model's "&P"-style codes
    bool fits_to_pages() const { return zoom == 0; }
};

// A chart embedded in a sheet: its place in points from the sheet's
// upper-left corner, and the block it draws (first row: series names, first
// column: category names, when plotted by columns; the other way round by
// rows).
struct ChartModel {
    int type = 51;                 // excel::kChart*
    int left = 0, top = 0, width = 360, height = 216;
    std::string sourceSheet;       // empty until SetSourceData
    CellRect source;
    int plotBy = 2;                // excel::kPlotByColumns
};

class WorksheetModel {
public:
    explicit WorksheetModel(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    void set_name(std::string name) { name_ = std::move(name); }

    Cell& cell(int row, int column) { return cells_[{row, column}]; }
    const Cell* find(int row, int column) const;
    // Row-major order, as a file lists them.
    const std::map<std::pair<int, int>, Cell>& cells() const { return cells_; }

    void set_value(int row, int column, CellValue value);

    void set_column_width(int column, double width) { columnWidths_[column] = width; }
    void set_row_height(int row, double height) { rowHeights_[row] = height; }
    const std::map<int, double>& column_widths() const { return columnWidths_; }
    const std::map<int, double>& row_heights() const { return rowHeights_; }

    // Merges `rect` into one cell. Merged areas it touches are absorbed, so
    // areas never overlap; only the upper-left value of the result stays.
    void merge(CellRect rect);
    const std::vector<CellRect>& merges() const { return merges_; }

    PageLayout& page_layout() { return pageLayout_; }
    const PageLayout& page_layout() const { return pageLayout_; }
    // Panes frozen above `rows` and left of `columns` (0, 0: none).
    void set_freeze(int rows, int columns) { freezeRows_ = rows; freezeColumns_ = columns; }
    int freeze_rows() const { return freezeRows_; }
    int freeze_columns() const { return freezeColumns_; }
    // The filtered block: its first row holds the filter buttons.
    void set_autofilter(CellRect rect) { autofilter_ = rect; }
    const std::optional<CellRect>& autofilter() const { return autofilter_; }
    std::vector<ChartModel>& charts() { return charts_; }
    const std::vector<ChartModel>& charts() const { return charts_; }

private:
    int freezeRows_ = 0, freezeColumns_ = 0;
    std::optional<CellRect> autofilter_;
    std::vector<ChartModel> charts_;
    std::string name_;
    PageLayout pageLayout_;
    std::map<std::pair<int, int>, Cell> cells_;
    std::map<int, double> columnWidths_;
    std::map<int, double> rowHeights_;
    std::vector<CellRect> merges_;
};

class WorkbookModel {
public:
    // A new workbook holds one sheet, "Sheet1".
    WorkbookModel();

    int sheet_count() const { return static_cast<int>(sheets_.size()); }
    // 0-based position in the tab order.
    WorksheetModel& sheet(int index) { return *sheets_.at(static_cast<std::size_t>(index)); }
    const WorksheetModel& sheet(int index) const { return *sheets_.at(static_cast<std::size_t>(index)); }
    int index_of(const WorksheetModel& sheet) const;
    WorksheetModel* find_sheet(const std::string& name);

    // Inserts a new sheet named "SheetN" (the next unused number) at
    // `position` (0-based) and returns it.
    WorksheetModel& insert_sheet(int position);

    // Empty when `name` is a valid, unused name for `sheet`; otherwise the
    // reason it is refused.
    std::string check_sheet_name(const WorksheetModel& sheet, const std::string& name) const;

    // The sheet the window shows: the first until Worksheet.Activate
    // picks another.
    WorksheetModel& active_sheet() { return active_ != nullptr ? *active_ : sheet(0); }
    void set_active_sheet(WorksheetModel& sheet) { active_ = &sheet; }

private:
    WorksheetModel* active_ = nullptr;
    std::vector<std::unique_ptr<WorksheetModel>> sheets_;
    int nextSheetNumber_ = 1;
};

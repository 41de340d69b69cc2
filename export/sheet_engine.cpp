#include "sheet_engine.h"

#include "cell_reference.h"
#include "excel_object_model.h"
#include "export_clock.h"
#include "wide_text.h"
#include "xlsx_file.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using automation::DispId;
using automation::DispParams;
using automation::InvokeKind;
using automation::Status;
using automation::Variant;
namespace dispid = excel::dispid;

namespace {

constexpr const char* kSource = "Spreadsheet engine";
// A cell holds at most this many UTF-16 characters.
constexpr std::size_t kMaxCellText = 32767;
// Formatting or filling more cells than this at once is refused rather
// than letting one call eat the memory (whole-sheet formats are not kept).
constexpr long long kMaxCellsPerCall = 1'000'000;
// PageSetup limits: zoom in per cent, pages to fit to, and the footer text,
// which the file stores behind its two-character section code in at most
// 255 characters. Paper sizes are the object model's numbers 1 to 41.
constexpr long long kMinZoom = 10;
constexpr long long kMaxZoom = 400;
constexpr long long kMaxFitPages = 32767;
constexpr std::size_t kMaxFooterText = 253;
constexpr long long kMaxPaperSize = 41;

// A failed member call: a bare status, or (with a description) an
// exception the caller can show.
struct Fault {
    Status status;
    std::string description;
};

[[noreturn]] void fail(Status status) { throw Fault{status, {}}; }
[[noreturn]] void raise(std::string description) {
    throw Fault{automation::kDispException, std::move(description)};
}

// The arguments of one call as a member sees them.
class Call {
public:
    Call(DispId member, InvokeKind kind, const DispParams& params)
        : member_(member), kind_(kind), params_(params) {}

    DispId member() const { return member_; }
    InvokeKind kind() const { return kind_; }
    bool is(DispId member, InvokeKind kind) const { return member_ == member && kind_ == kind; }

    // Checks the argument list: at most `maxArgs` positional arguments,
    // and for a put exactly the one named new value.
    void expect(std::size_t maxArgs) const {
        if (kind_ == InvokeKind::PropertyPut) {
            if (params_.named.size() != 1 || params_.named[0].first != automation::kDispIdPropertyPut) {
                fail(automation::kDispParamNotOptional);
            }
        } else if (!params_.named.empty()) {
            fail(automation::kDispNoNamedArgs);
        }
        if (params_.args.size() > maxArgs) fail(automation::kDispBadParamCount);
    }

    // nullptr when the argument is left out (absent or VT_ERROR
    // DISP_E_PARAMNOTFOUND). VT_EMPTY is a value, not an omission.
    const Variant* optional(std::size_t index) const {
        if (index >= params_.args.size()) return nullptr;
        const Variant& v = params_.args[index];
        return automation::is_omitted(v) ? nullptr : &v;
    }
    const Variant& required(std::size_t index) const {
        const Variant* v = optional(index);
        if (v == nullptr) fail(automation::kDispParamNotOptional);
        return *v;
    }
    const Variant& value() const { return params_.named.at(0).second; }

private:
    DispId member_;
    InvokeKind kind_;
    const DispParams& params_;
};

// Value coercions, as the automation layer converts arguments.
long long to_long(const Variant& v) {
    switch (v.vt()) {
        case automation::VT_I2: return v.i2();
        case automation::VT_I4: return v.i4();
        case automation::VT_BOOL: return v.boolean() ? -1 : 0;
        case automation::VT_BSTR: {
            const std::string text = utf16_to_utf8(v.bstr());
            char* end = nullptr;
            errno = 0;
            const double d = std::strtod(text.c_str(), &end);
            while (end != nullptr && *end == ' ') ++end;
            if (text.empty() || end == text.c_str() || *end != '\0' || errno != 0 ||
                !std::isfinite(d) || std::fabs(d) > 2147483647.0) {
                fail(automation::kDispTypeMismatch);
            }
            return std::llround(d);
        }
        default: fail(automation::kDispTypeMismatch);
    }
}

double to_double(const Variant& v) {
    if (v.vt() == automation::VT_BSTR) {
        const std::string text = utf16_to_utf8(v.bstr());
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        while (end != nullptr && *end == ' ') ++end;
        if (text.empty() || end == text.c_str() || *end != '\0' || !std::isfinite(d)) {
            fail(automation::kDispTypeMismatch);
        }
        return d;
    }
    return static_cast<double>(to_long(v));
}

bool to_bool(const Variant& v) { return to_long(v) != 0; }

std::string to_text(const Variant& v) {
    switch (v.vt()) {
        case automation::VT_BSTR: return utf16_to_utf8(v.bstr());
        case automation::VT_I2:
        case automation::VT_I4: return std::to_string(v.i4());
        default: fail(automation::kDispTypeMismatch);
    }
}

// Text that a user would expect as a number becomes a number cell, as the
// spreadsheet converts text typed into a cell. Only plain integers qualify
// ("0", "124", "-7": no sign on zero, no leading zeros, no blanks, at most
// 15 digits), so the number always shows exactly the text that was sent;
// dates, addresses, "254 " and "80 %" stay text.
bool is_plain_integer(const std::string& text) {
    std::size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - i;
    if (digits == 0 || digits > 15) return false;
    if (text[i] == '0' && (digits > 1 || i == 1)) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

CellValue text_cell(const std::u16string& text) {
    if (text.size() > kMaxCellText) raise("A cell can hold at most 32767 characters.");
    CellValue cell;
    if (text.empty()) return cell;  // an empty text clears the cell
    std::string utf8 = utf16_to_utf8(text);
    if (is_plain_integer(utf8)) {
        cell.kind = CellValue::Kind::Number;
        cell.number = std::strtod(utf8.c_str(), nullptr);
    } else {
        cell.kind = CellValue::Kind::Text;
        cell.text = std::move(utf8);
    }
    return cell;
}

CellValue scalar_cell(const Variant& v) {
    CellValue cell;
    switch (v.vt()) {
        case automation::VT_EMPTY: return cell;
        case automation::VT_BSTR: return text_cell(v.bstr());
        case automation::VT_I2:
        case automation::VT_I4:
            cell.kind = CellValue::Kind::Number;
            cell.number = v.i4();
            return cell;
        case automation::VT_BOOL:
            cell.kind = CellValue::Kind::Boolean;
            cell.boolean = v.boolean();
            return cell;
        default: fail(automation::kDispTypeMismatch);
    }
}

bool one_of(long long value, std::initializer_list<int> allowed) {
    for (int a : allowed) {
        if (value == a) return true;
    }
    return false;
}

long long area(const CellRect& r) { return static_cast<long long>(r.rows()) * r.columns(); }

struct AppState {
    std::vector<std::shared_ptr<WorkbookModel>> workbooks;
    bool quit = false;
    bool userControl = false;
};

// Common frame of every engine object: turns faults into statuses.
class EngineObject : public automation::RefCountedDispatch {
public:
    Status Invoke(DispId member, InvokeKind kind, const DispParams& params, Variant* result,
                  automation::ExcepInfo* excepInfo) final {
        try {
            Variant out = answer(Call(member, kind, params));
            if (result != nullptr) *result = std::move(out);
            return automation::kOk;
        } catch (const Fault& fault) {
            if (fault.status == automation::kDispException && excepInfo != nullptr) {
                excepInfo->scode = automation::kDispException;
                excepInfo->source = kSource;
                excepInfo->description = fault.description;
                excepInfo->helpFile.clear();
                excepInfo->helpContext = 0;
            }
            return fault.status;
        } catch (const std::bad_alloc&) {
            return automation::kOutOfMemory;
        }
    }

protected:
    virtual Variant answer(const Call& call) = 0;
};

// Wraps a new engine object as a call result (the result owns the one
// reference the object was born with).
Variant result_object(automation::Dispatch* object) {
    Variant v = Variant::DispatchRef(object);
    object->Release();
    return v;
}

class FontObject final : public EngineObject {
public:
    FontObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet, CellRect rect)
        : book_(std::move(book)), sheet_(sheet), rect_(rect) {}

private:
    Variant answer(const Call& call) override {
        call.expect(0);
        if (call.is(dispid::kBold, InvokeKind::PropertyPut)) {
            const bool bold = to_bool(call.value());
            each_style([&](CellStyle& s) { s.bold = bold; });
        } else if (call.is(dispid::kItalic, InvokeKind::PropertyPut)) {
            const bool italic = to_bool(call.value());
            each_style([&](CellStyle& s) { s.italic = italic; });
        } else if (call.is(dispid::kSize, InvokeKind::PropertyPut)) {
            const double size = to_double(call.value());
            if (size < 1 || size > 409) raise("The font size must be between 1 and 409 points.");
            each_style([&](CellStyle& s) { s.size = size; });
        } else {
            fail(automation::kDispMemberNotFound);
        }
        return {};
    }

    template <typename F>
    void each_style(F change) {
        if (area(rect_) > kMaxCellsPerCall) raise("The range is too large to format at once.");
        for (int r = rect_.top; r <= rect_.bottom; ++r) {
            for (int c = rect_.left; c <= rect_.right; ++c) change(sheet_->cell(r, c).style);
        }
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
    CellRect rect_;
};

// The fill of a range: a palette colour, or none.
class InteriorObject final : public EngineObject {
public:
    InteriorObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet, CellRect rect)
        : book_(std::move(book)), sheet_(sheet), rect_(rect) {}

private:
    Variant answer(const Call& call) override {
        call.expect(0);
        if (!call.is(dispid::kColorIndex, InvokeKind::PropertyPut)) fail(automation::kDispMemberNotFound);
        long long index = to_long(call.value());
        if (index == excel::kColorIndexNone || index == excel::kColorIndexAutomatic) index = 0;
        if (index < 0 || index > 56) raise("The colour index " + std::to_string(index) + " is outside the palette.");
        if (area(rect_) > kMaxCellsPerCall) raise("The range is too large to format at once.");
        for (int r = rect_.top; r <= rect_.bottom; ++r) {
            for (int c = rect_.left; c <= rect_.right; ++c) sheet_->cell(r, c).style.fillColorIndex = static_cast<int>(index);
        }
        return {};
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
    CellRect rect_;
};

class RangeObject final : public EngineObject {
public:
    RangeObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet, CellRect rect)
        : book_(std::move(book)), sheet_(sheet), rect_(rect) {}

    const WorksheetModel* sheet() const { return sheet_; }
    const CellRect& rect() const { return rect_; }

private:
    Variant answer(const Call& call) override {
        switch (call.member()) {
            case dispid::kBorderAround:
                if (call.kind() == InvokeKind::Method) return border_around(call);
                break;
            case dispid::kColumnWidth:
                if (call.kind() == InvokeKind::PropertyPut) return column_width(call);
                break;
            case dispid::kFont:
                if (call.kind() == InvokeKind::PropertyGet) {
                    call.expect(0);
                    return result_object(new FontObject(book_, sheet_, rect_));
                }
                break;
            case dispid::kHorizontalAlignment:
                if (call.kind() == InvokeKind::PropertyPut) return alignment(call, true);
                break;
            case dispid::kVerticalAlignment:
                if (call.kind() == InvokeKind::PropertyPut) return alignment(call, false);
                break;
            case dispid::kItem:
                if (call.kind() == InvokeKind::PropertyGet) return item(call);
                if (call.kind() == InvokeKind::PropertyPut) return item(call);
                break;
            case dispid::kResize:
                if (call.kind() == InvokeKind::PropertyGet) return resize(call);
                break;
            case dispid::kRowHeight:
                if (call.kind() == InvokeKind::PropertyPut) return row_height(call);
                break;
            case dispid::kValue2:
                if (call.kind() == InvokeKind::PropertyPut) return value2(call);
                break;
            case dispid::kMerge:
                if (call.kind() == InvokeKind::Method) return merge(call);
                break;
            case dispid::kInterior:
                if (call.kind() == InvokeKind::PropertyGet) {
                    call.expect(0);
                    return result_object(new InteriorObject(book_, sheet_, rect_));
                }
                break;
            case dispid::kAutoFilter:
                if (call.kind() == InvokeKind::Method) return autofilter(call);
                break;
            default: break;
        }
        fail(automation::kDispMemberNotFound);
    }

    void check_size() const {
        if (area(rect_) > kMaxCellsPerCall) raise("The range is too large to change at once.");
    }

    template <typename F>
    void each_cell(F change) {
        check_size();
        for (int r = rect_.top; r <= rect_.bottom; ++r) {
            for (int c = rect_.left; c <= rect_.right; ++c) change(r, c);
        }
    }

    Variant border_around(const Call& call) {
        call.expect(4);
        const Variant* styleArg = call.optional(0);
        const Variant* weightArg = call.optional(1);
        const Variant* colorIndexArg = call.optional(2);
        const long long lineStyle = styleArg ? to_long(*styleArg) : excel::kLineContinuous;
        const long long weight = weightArg ? to_long(*weightArg) : excel::kWeightThin;
        long long colorIndex = colorIndexArg ? to_long(*colorIndexArg) : excel::kColorIndexAutomatic;
        if (!one_of(lineStyle, {excel::kLineContinuous, excel::kLineDash, excel::kLineDot,
                                excel::kLineDouble, excel::kLineDashDot, excel::kLineDashDotDot,
                                excel::kLineSlantDashDot, excel::kLineNone})) {
            raise("Unable to draw the border: unknown line style " + std::to_string(lineStyle) + ".");
        }
        if (!one_of(weight, {excel::kWeightHairline, excel::kWeightThin, excel::kWeightMedium,
                             excel::kWeightThick})) {
            raise("Unable to draw the border: unknown weight " + std::to_string(weight) + ".");
        }
        if (colorIndex == excel::kColorIndexNone) colorIndex = excel::kColorIndexAutomatic;
        if (colorIndex != excel::kColorIndexAutomatic && (colorIndex < 1 || colorIndex > 56)) {
            raise("Unable to draw the border: colour index " + std::to_string(colorIndex) +
                  " is outside the palette.");
        }
        if (call.optional(3) != nullptr) {
            raise("Unable to draw the border: only palette colours (ColorIndex) are supported.");
        }
        BorderSide side;
        if (lineStyle != excel::kLineNone) {
            side = BorderSide{static_cast<int>(lineStyle), static_cast<int>(weight),
                              static_cast<int>(colorIndex)};
        }
        // Only the outline: left of the first column, right of the last, top
        // of the first row, bottom of the last.
        if (static_cast<long long>(rect_.rows()) * 2 + static_cast<long long>(rect_.columns()) * 2 >
            kMaxCellsPerCall) {
            raise("The range is too large to change at once.");
        }
        if (rect_.rows() == 1 && rect_.columns() == 1) {
            // One cell, the grid's case: its four sides at one look-up.
            sheet_->cell(rect_.top, rect_.left).style.borders.fill(side);
            return Variant::Bool(true);
        }
        for (int r = rect_.top; r <= rect_.bottom; ++r) {
            sheet_->cell(r, rect_.left).style.borders[kEdgeLeft] = side;
            sheet_->cell(r, rect_.right).style.borders[kEdgeRight] = side;
        }
        for (int c = rect_.left; c <= rect_.right; ++c) {
            sheet_->cell(rect_.top, c).style.borders[kEdgeTop] = side;
            sheet_->cell(rect_.bottom, c).style.borders[kEdgeBottom] = side;
        }
        return Variant::Bool(true);
    }

    Variant column_width(const Call& call) {
        call.expect(0);
        const double width = to_double(call.value());
        if (width < 0 || width > 255) raise("The column width must be between 0 and 255.");
        for (int c = rect_.left; c <= rect_.right; ++c) sheet_->set_column_width(c, width);
        return {};
    }

    Variant row_height(const Call& call) {
        call.expect(0);
        const double height = to_double(call.value());
        if (height < 0 || height > 409) raise("The row height must be between 0 and 409 points.");
        if (rect_.rows() > kMaxCellsPerCall) raise("The range is too large to change at once.");
        for (int r = rect_.top; r <= rect_.bottom; ++r) sheet_->set_row_height(r, height);
        return {};
    }

    Variant alignment(const Call& call, bool horizontal) {
        call.expect(0);
        const long long value = to_long(call.value());
        const bool known =
            horizontal ? one_of(value, {excel::kAlignGeneral, excel::kAlignLeft, excel::kAlignCenter,
                                        excel::kAlignRight, excel::kAlignFill, excel::kAlignJustify,
                                        excel::kAlignCenterAcrossSelection, excel::kAlignDistributed})
                       : one_of(value, {excel::kAlignTop, excel::kAlignCenter, excel::kAlignBottom,
                                        excel::kAlignJustify, excel::kAlignDistributed});
        if (!known) {
            raise(std::string("Unable to set the ") + (horizontal ? "horizontal" : "vertical") +
                  " alignment to " + std::to_string(value) + ".");
        }
        each_cell([&](int r, int c) {
            CellStyle& style = sheet_->cell(r, c).style;
            (horizontal ? style.horizontal : style.vertical) = static_cast<int>(value);
        });
        return {};
    }

    // A column index may also be given by its letters ("B").
    long long column_index(const Variant& v) const {
        if (v.vt() == automation::VT_BSTR) {
            const auto rect = parse_reference(utf16_to_utf8(v.bstr()) + "1");
            if (rect && rect->rows() == 1 && rect->columns() == 1) return rect->left - rect_.left + 1;
        }
        return to_long(v);
    }

    // Item counts from the range's upper-left cell and may reach past the
    // range; without a column index, the cells are counted row by row.
    CellRect item_cell(const Call& call) const {
        const long long rowIndex = to_long(call.required(0));
        long long row = 0;
        long long column = 0;
        if (const Variant* columnArg = call.optional(1)) {
            row = rect_.top + rowIndex - 1;
            column = rect_.left + column_index(*columnArg) - 1;
        } else {
            const long long width = rect_.columns();
            const long long n = rowIndex - 1;
            const long long down = n >= 0 ? n / width : -((-n + width - 1) / width);
            row = rect_.top + down;
            column = rect_.left + (n - down * width);
        }
        if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
            raise("The cell at row index " + std::to_string(rowIndex) + " lies outside the sheet.");
        }
        const int r = static_cast<int>(row);
        const int c = static_cast<int>(column);
        return CellRect{r, c, r, c};
    }

    Variant item(const Call& call) {
        call.expect(2);
        const CellRect cell = item_cell(call);
        if (call.kind() == InvokeKind::PropertyGet) {
            return result_object(new RangeObject(book_, sheet_, cell));
        }
        if (call.value().vt() == (automation::VT_ARRAY | automation::VT_BSTR)) {
            fail(automation::kDispTypeMismatch);
        }
        sheet_->set_value(cell.top, cell.left, scalar_cell(call.value()));
        return {};
    }

    Variant resize(const Call& call) {
        call.expect(2);
        long long rows = rect_.rows();
        long long columns = rect_.columns();
        if (const Variant* v = call.optional(0)) rows = to_long(*v);
        if (const Variant* v = call.optional(1)) columns = to_long(*v);
        if (rows < 1 || columns < 1 || rect_.top + rows - 1 > kMaxRows ||
            rect_.left + columns - 1 > kMaxColumns) {
            raise("Cannot resize the range to " + std::to_string(rows) + " rows and " +
                  std::to_string(columns) + " columns.");
        }
        const CellRect sized{rect_.top, rect_.left, static_cast<int>(rect_.top + rows - 1),
                             static_cast<int>(rect_.left + columns - 1)};
        return result_object(new RangeObject(book_, sheet_, sized));
    }

    Variant value2(const Call& call) {
        call.expect(0);
        const Variant& value = call.value();
        if (value.vt() == (automation::VT_ARRAY | automation::VT_BSTR)) {
            const automation::SafeArray& array = *value.array();
            // Each cell takes the element at its offset from the upper-left
            // cell; cells beyond the array get the "not available" mark.
            each_cell([&](int r, int c) {
                const auto i = static_cast<std::size_t>(r - rect_.top);
                const auto j = static_cast<std::size_t>(c - rect_.left);
                if (i < array.rows() && j < array.columns()) {
                    sheet_->set_value(r, c, text_cell(array.element(i, j)));
                } else {
                    sheet_->set_value(r, c, CellValue{CellValue::Kind::Text, "#N/A", 0, false});
                }
            });
            return {};
        }
        const CellValue cell = scalar_cell(value);
        each_cell([&](int r, int c) { sheet_->set_value(r, c, cell); });
        return {};
    }

    Variant merge(const Call& call) {
        call.expect(1);
        const Variant* acrossArg = call.optional(0);
        const bool across = acrossArg != nullptr && to_bool(*acrossArg);
        check_size();
        if (across) {
            for (int r = rect_.top; r <= rect_.bottom; ++r) {
                sheet_->merge(CellRect{r, rect_.left, r, rect_.right});
            }
        } else {
            sheet_->merge(rect_);
        }
        return {};
    }

    // Without arguments: filter buttons on the range's first row, the rows
    // below it filtered. A single row has nothing to filter.
    Variant autofilter(const Call& call) {
        call.expect(0);
        if (rect_.rows() < 2 || rect_.bottom == kMaxRows) raise("AutoFilter needs a header row and the rows below it.");
        sheet_->set_autofilter(rect_);
        return {};
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
    CellRect rect_;
};

// A sheet's print settings; every member is a property put.
class PageSetupObject final : public EngineObject {
public:
    PageSetupObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet)
        : book_(std::move(book)), sheet_(sheet) {}

private:
    Variant answer(const Call& call) override {
        if (call.kind() != InvokeKind::PropertyPut) fail(automation::kDispMemberNotFound);
        call.expect(0);
        PageLayout& layout = sheet_->page_layout();
        const Variant& value = call.value();
        switch (call.member()) {
            case dispid::kOrientation: layout.orientation = orientation(value); break;
            case dispid::kZoom: layout.zoom = zoom(value); break;
            case dispid::kFitToPagesWide: layout.fitWide = page_count(value); break;
            case dispid::kFitToPagesTall: layout.fitTall = page_count(value); break;
            case dispid::kPrintTitleRows: title_rows(to_text(value), layout); break;
            case dispid::kCenterFooter: layout.centerFooter = footer(to_text(value)); break;
            case dispid::kPaperSize: layout.paperSize = paper_size(value); break;
            default: fail(automation::kDispMemberNotFound);
        }
        return {};
    }

    static int orientation(const Variant& v) {
        const long long value = to_long(v);
        if (!one_of(value, {excel::kPortrait, excel::kLandscape})) {
            raise("Unable to set the Orientation property of the PageSetup class.");
        }
        return static_cast<int>(value);
    }

    // FALSE (fit to the page counts) or a percentage.
    static int zoom(const Variant& v) {
        if (v.vt() == automation::VT_BOOL && !v.boolean()) return 0;
        const long long value = v.vt() == automation::VT_BOOL ? -1 : to_long(v);
        if (value < kMinZoom || value > kMaxZoom) {
            raise("The zoom must be FALSE or between 10 and 400 per cent.");
        }
        return static_cast<int>(value);
    }

    // FALSE: as many pages as it takes (kept as 0).
    static int page_count(const Variant& v) {
        if (v.vt() == automation::VT_BOOL && !v.boolean()) return 0;
        const long long value = v.vt() == automation::VT_BOOL ? -1 : to_long(v);
        if (value < 1 || value > kMaxFitPages) raise("The page count must be FALSE or between 1 and 32767.");
        return static_cast<int>(value);
    }

    // Whole rows ("$1:$2", "2:2"), or an empty text for none.
    static void title_rows(const std::string& text, PageLayout& layout) {
        if (text.empty()) {
            layout.titleFirstRow = layout.titleLastRow = 0;
            return;
        }
        const auto rect = parse_reference(text);
        if (!rect || rect->left != 1 || rect->right != kMaxColumns) {
            raise("\"" + text + "\" is not a range of whole rows to repeat on every page.");
        }
        layout.titleFirstRow = rect->top;
        layout.titleLastRow = rect->bottom;
    }

    static std::string footer(std::string text) {
        if (text.size() > kMaxFooterText) raise("A footer can hold at most 253 characters.");
        return text;
    }

    static int paper_size(const Variant& v) {
        const long long value = to_long(v);
        if (value < 1 || value > kMaxPaperSize) raise("Unable to set the PaperSize property of the PageSetup class.");
        return static_cast<int>(value);
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
};

// One embedded chart: its type and the block it draws.
class ChartObject final : public EngineObject {
public:
    ChartObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet, std::size_t index)
        : book_(std::move(book)), sheet_(sheet), index_(index) {}

private:
    Variant answer(const Call& call) override {
        ChartModel& chart = sheet_->charts().at(index_);
        if (call.is(dispid::kChartType, InvokeKind::PropertyPut)) {
            call.expect(0);
            const long long type = to_long(call.value());
            if (!one_of(type, {excel::kChartColumnClustered, excel::kChartBarClustered})) {
                raise("Chart type " + std::to_string(type) + " is not available: clustered column or bar only.");
            }
            chart.type = static_cast<int>(type);
            return {};
        }
        if (call.is(dispid::kSetSourceData, InvokeKind::Method)) {
            call.expect(2);
            const Variant& source = call.required(0);
            const auto* range = source.vt() == automation::VT_DISPATCH
                                    ? dynamic_cast<const RangeObject*>(source.dispatch())
                                    : nullptr;
            if (range == nullptr) fail(automation::kDispTypeMismatch);
            if (book_->index_of(*range->sheet()) < 0) raise("The source range belongs to another workbook.");
            const CellRect& rect = range->rect();
            if (rect.rows() < 2 || rect.columns() < 2 || area(rect) > kMaxCellsPerCall) {
                raise("The chart's source needs a row of series names, a column of categories and values.");
            }
            long long plotBy = excel::kPlotByColumns;
            if (const Variant* v = call.optional(1)) plotBy = to_long(*v);
            if (!one_of(plotBy, {excel::kPlotByColumns, excel::kPlotByRows})) fail(automation::kDispTypeMismatch);
            chart.sourceSheet = range->sheet()->name();
            chart.source = rect;
            chart.plotBy = static_cast<int>(plotBy);
            return {};
        }
        fail(automation::kDispMemberNotFound);
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
    std::size_t index_;
};

// The frame of one embedded chart.
class ChartFrameObject final : public EngineObject {
public:
    ChartFrameObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet, std::size_t index)
        : book_(std::move(book)), sheet_(sheet), index_(index) {}

private:
    Variant answer(const Call& call) override {
        if (!call.is(dispid::kChart, InvokeKind::PropertyGet)) fail(automation::kDispMemberNotFound);
        call.expect(0);
        return result_object(new ChartObject(book_, sheet_, index_));
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
    std::size_t index_;
};

// A sheet's charts; Add makes a new clustered column chart.
class ChartFramesObject final : public EngineObject {
public:
    ChartFramesObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet)
        : book_(std::move(book)), sheet_(sheet) {}

private:
    Variant answer(const Call& call) override {
        if (!call.is(dispid::kAdd, InvokeKind::Method)) fail(automation::kDispMemberNotFound);
        call.expect(4);
        ChartModel chart;
        int* const fields[4] = {&chart.left, &chart.top, &chart.width, &chart.height};
        for (std::size_t i = 0; i < 4; ++i) {
            const long long v = to_long(call.required(i));
            if (v < 0 || v > 100000 || (i >= 2 && v < 10)) raise("The chart's position or size is out of range.");
            *fields[i] = static_cast<int>(v);
        }
        sheet_->charts().push_back(chart);
        return result_object(new ChartFrameObject(book_, sheet_, sheet_->charts().size() - 1));
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
};

class WorksheetObject final : public EngineObject {
public:
    WorksheetObject(std::shared_ptr<WorkbookModel> book, WorksheetModel* sheet)
        : book_(std::move(book)), sheet_(sheet) {}

    const WorksheetModel* sheet() const { return sheet_; }

private:
    Variant answer(const Call& call) override {
        if (call.is(dispid::kName, InvokeKind::PropertyPut)) {
            call.expect(0);
            const std::string name = to_text(call.value());
            const std::string refusal = book_->check_sheet_name(*sheet_, name);
            if (!refusal.empty()) raise(refusal);
            sheet_->set_name(name);
            return {};
        }
        if (call.is(dispid::kRange, InvokeKind::PropertyGet)) {
            call.expect(2);
            CellRect rect = corner(call.required(0));
            if (const Variant* second = call.optional(1)) {
                const CellRect other = corner(*second);
                rect = CellRect{std::min(rect.top, other.top), std::min(rect.left, other.left),
                                std::max(rect.bottom, other.bottom),
                                std::max(rect.right, other.right)};
            }
            return result_object(new RangeObject(book_, sheet_, rect));
        }
        if (call.is(dispid::kCells, InvokeKind::PropertyGet)) {
            call.expect(0);
            return result_object(
                new RangeObject(book_, sheet_, CellRect{1, 1, kMaxRows, kMaxColumns}));
        }
        if (call.is(dispid::kPageSetup, InvokeKind::PropertyGet)) {
            call.expect(0);
            return result_object(new PageSetupObject(book_, sheet_));
        }
        if (call.is(dispid::kActivate, InvokeKind::Method)) {
            call.expect(0);
            book_->set_active_sheet(*sheet_);
            return {};
        }
        if (call.is(dispid::kChartObjects, InvokeKind::Method)) {
            call.expect(0);
            return result_object(new ChartFramesObject(book_, sheet_));
        }
        fail(automation::kDispMemberNotFound);
    }

    // One argument of Range: a reference text or a range of this sheet.
    CellRect corner(const Variant& v) const {
        if (v.vt() == automation::VT_BSTR) {
            const std::string text = utf16_to_utf8(v.bstr());
            if (const auto rect = parse_reference(text)) return *rect;
            raise("\"" + text + "\" is not a valid cell reference.");
        }
        if (v.vt() == automation::VT_DISPATCH) {
            const auto* range = dynamic_cast<const RangeObject*>(v.dispatch());
            if (range != nullptr && range->sheet() == sheet_) return range->rect();
            raise("The range given belongs to another sheet.");
        }
        fail(automation::kDispTypeMismatch);
    }

    std::shared_ptr<WorkbookModel> book_;
    WorksheetModel* sheet_;
};

class WorksheetsObject final : public EngineObject {
public:
    explicit WorksheetsObject(std::shared_ptr<WorkbookModel> book) : book_(std::move(book)) {}

private:
    Variant answer(const Call& call) override {
        if (call.is(dispid::kItem, InvokeKind::PropertyGet)) {
            call.expect(1);
            return result_object(new WorksheetObject(book_, &book_->sheet(index_of(call.required(0)))));
        }
        if (call.is(dispid::kCount, InvokeKind::PropertyGet)) {
            call.expect(0);
            return Variant::I4(book_->sheet_count());
        }
        if (call.is(dispid::kAdd, InvokeKind::Method)) return add(call);
        fail(automation::kDispMemberNotFound);
    }

    // A 1-based position or a sheet name.
    int index_of(const Variant& v) const {
        if (v.vt() == automation::VT_BSTR) {
            if (WorksheetModel* s = book_->find_sheet(utf16_to_utf8(v.bstr()))) return book_->index_of(*s);
            fail(automation::kDispBadIndex);
        }
        const long long index = to_long(v);
        if (index < 1 || index > book_->sheet_count()) fail(automation::kDispBadIndex);
        return static_cast<int>(index - 1);
    }

    int position_of(const Variant& v) const {
        const auto* sheet = dynamic_cast<const WorksheetObject*>(v.dispatch());
        if (v.vt() != automation::VT_DISPATCH || sheet == nullptr) fail(automation::kDispTypeMismatch);
        const int index = book_->index_of(*sheet->sheet());
        if (index < 0) raise("The sheet given belongs to another workbook.");
        return index;
    }

    Variant add(const Call& call) {
        call.expect(4);
        const Variant* before = call.optional(0);
        const Variant* after = call.optional(1);
        if (before != nullptr && after != nullptr) raise("Give either Before or After, not both.");
        int position = 0;  // before the first (the active) sheet
        if (before != nullptr) position = position_of(*before);
        if (after != nullptr) position = position_of(*after) + 1;
        long long count = 1;
        if (const Variant* v = call.optional(2)) count = to_long(*v);
        if (count < 1 || count > 255) raise("Between 1 and 255 sheets can be added at once.");
        if (const Variant* v = call.optional(3); v != nullptr && to_long(*v) != excel::kSheetTypeWorksheet) {
            raise("Only worksheets can be added.");
        }
        WorksheetModel* added = nullptr;
        for (long long i = 0; i < count; ++i) added = &book_->insert_sheet(position + static_cast<int>(i));
        return result_object(new WorksheetObject(book_, added));
    }

    std::shared_ptr<WorkbookModel> book_;
};

class WorkbookObject final : public EngineObject {
public:
    explicit WorkbookObject(std::shared_ptr<WorkbookModel> book) : book_(std::move(book)) {}
    const WorkbookModel& model() const { return *book_; }

private:
    Variant answer(const Call& call) override {
        if (call.is(dispid::kWorksheets, InvokeKind::PropertyGet)) {
            call.expect(0);
            return result_object(new WorksheetsObject(book_));
        }
        if (call.is(dispid::kSaveCopyAs, InvokeKind::Method)) {
            call.expect(1);
            const std::string path = to_text(call.required(0));
            if (path.empty()) raise("No file name was given to save the workbook under.");
            const std::string error = save_workbook_file(*book_, path, export_now());
            if (!error.empty()) raise(error);
            return {};
        }
        if (call.is(dispid::kSaved, InvokeKind::PropertyPut)) {
            call.expect(0);
            saved_ = to_bool(call.value());
            return {};
        }
        fail(automation::kDispMemberNotFound);
    }

    std::shared_ptr<WorkbookModel> book_;
    bool saved_ = false;
};

class WorkbooksObject final : public EngineObject {
public:
    explicit WorkbooksObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}

private:
    Variant answer(const Call& call) override {
        if (call.is(dispid::kAdd, InvokeKind::Method)) {
            call.expect(1);
            if (call.optional(0) != nullptr) raise("Workbook templates are not available.");
            auto book = std::make_shared<WorkbookModel>();
            app_->workbooks.push_back(book);
            return result_object(new WorkbookObject(std::move(book)));
        }
        fail(automation::kDispMemberNotFound);
    }

    std::shared_ptr<AppState> app_;
};

// The window over the active sheet of the newest workbook: SplitRow and
// SplitColumn place the split, FreezePanes freezes the panes there.
class WindowObject final : public EngineObject {
public:
    explicit WindowObject(std::shared_ptr<WorkbookModel> book) : book_(std::move(book)) {}

private:
    Variant answer(const Call& call) override {
        call.expect(0);
        if (call.kind() != InvokeKind::PropertyPut) fail(automation::kDispMemberNotFound);
        if (call.member() == dispid::kSplitRow || call.member() == dispid::kSplitColumn) {
            const long long v = to_long(call.value());
            const long long limit = call.member() == dispid::kSplitRow ? kMaxRows - 1 : kMaxColumns - 1;
            if (v < 0 || v > limit) raise("The split lies outside the sheet.");
            (call.member() == dispid::kSplitRow ? splitRow_ : splitColumn_) = static_cast<int>(v);
            return {};
        }
        if (call.member() == dispid::kFreezePanes) {
            WorksheetModel& sheet = book_->active_sheet();
            if (to_bool(call.value())) sheet.set_freeze(splitRow_, splitColumn_);
            else sheet.set_freeze(0, 0);
            return {};
        }
        fail(automation::kDispMemberNotFound);
    }

    std::shared_ptr<WorkbookModel> book_;
    int splitRow_ = 0, splitColumn_ = 0;
};

class ApplicationObject final : public EngineObject {
public:
    ApplicationObject() : app_(std::make_shared<AppState>()) {}

private:
    Variant answer(const Call& call) override {
        if (call.is(dispid::kWorkbooks, InvokeKind::PropertyGet)) {
            call.expect(0);
            return result_object(new WorkbooksObject(app_));
        }
        if (call.is(dispid::kQuit, InvokeKind::Method)) {
            call.expect(0);
            app_->quit = true;
            app_->workbooks.clear();  // unsaved workbooks are dropped
            return {};
        }
        if (call.is(dispid::kUserControl, InvokeKind::PropertyPut)) {
            call.expect(0);
            app_->userControl = to_bool(call.value());
            return {};
        }
        if (call.is(dispid::kActiveWindow, InvokeKind::PropertyGet)) {
            call.expect(0);
            if (app_->workbooks.empty()) raise("No workbook is open, so there is no active window.");
            return result_object(new WindowObject(app_->workbooks.back()));
        }
        fail(automation::kDispMemberNotFound);
    }

    std::shared_ptr<AppState> app_;
};

}  // namespace

automation::Dispatch* create_sheet_engine() { return new ApplicationObject(); }

const WorkbookModel* sheet_engine_workbook(automation::Dispatch* workbook) {
    const auto* object = dynamic_cast<const WorkbookObject*>(workbook);
    return object != nullptr ? &object->model() : nullptr;
}

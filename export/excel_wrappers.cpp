#include "excel_wrappers.h"

#include "excel_object_model.h"

#include <cstdio>

using automation::Dispatch;
using automation::InvokeKind;
using automation::Variant;
namespace dispid = excel::dispid;

Dispatch* CExcelApplication::get_Workbooks() {
    return dispatch_result(invoke(dispid::kWorkbooks, InvokeKind::PropertyGet, {}));
}

void CExcelApplication::Quit() { invoke(dispid::kQuit, InvokeKind::Method, {}); }

void CExcelApplication::put_UserControl(bool value) {
    invoke_put(dispid::kUserControl, {}, Variant::Bool(value));
}

Dispatch* CExcelWorkbooks::Add(const Variant& Template) {
    return dispatch_result(invoke(dispid::kAdd, InvokeKind::Method, {Template}));
}

Dispatch* CExcelWorkbook::get_Worksheets() {
    return dispatch_result(invoke(dispid::kWorksheets, InvokeKind::PropertyGet, {}));
}

void CExcelWorkbook::SaveCopyAs(const Variant& Filename) {
    invoke(dispid::kSaveCopyAs, InvokeKind::Method, {Filename});
}

void CExcelWorkbook::put_Saved(bool value) { invoke_put(dispid::kSaved, {}, Variant::Bool(value)); }

Dispatch* CExcelWorksheets::get_Item(const Variant& Index) {
    return dispatch_result(invoke(dispid::kItem, InvokeKind::PropertyGet, {Index}));
}

std::int32_t CExcelWorksheets::get_Count() {
    return long_result(invoke(dispid::kCount, InvokeKind::PropertyGet, {}));
}

Dispatch* CExcelWorksheets::Add(const Variant& Before, const Variant& After, const Variant& Count,
                                const Variant& Type) {
    return dispatch_result(invoke(dispid::kAdd, InvokeKind::Method, {Before, After, Count, Type}));
}

void CExcelWorksheet::put_Name(std::u16string_view newValue) {
    invoke_put(dispid::kName, {}, Variant::Bstr(std::u16string(newValue)));
}

Dispatch* CExcelWorksheet::get_Range(const Variant& Cell1, const Variant& Cell2) {
    return dispatch_result(invoke(dispid::kRange, InvokeKind::PropertyGet, {Cell1, Cell2}));
}

Dispatch* CExcelWorksheet::get_Cells() {
    return dispatch_result(invoke(dispid::kCells, InvokeKind::PropertyGet, {}));
}

Dispatch* CExcelWorksheet::get_PageSetup() {
    return dispatch_result(invoke(dispid::kPageSetup, InvokeKind::PropertyGet, {}));
}

void CExcelPageSetup::put_Orientation(std::int32_t newValue) {
    invoke_put(dispid::kOrientation, {}, Variant::I4(newValue));
}

void CExcelPageSetup::put_Zoom(const Variant& newValue) { invoke_put(dispid::kZoom, {}, newValue); }

void CExcelPageSetup::put_FitToPagesWide(const Variant& newValue) {
    invoke_put(dispid::kFitToPagesWide, {}, newValue);
}

void CExcelPageSetup::put_FitToPagesTall(const Variant& newValue) {
    invoke_put(dispid::kFitToPagesTall, {}, newValue);
}

void CExcelPageSetup::put_PrintTitleRows(std::u16string_view newValue) {
    invoke_put(dispid::kPrintTitleRows, {}, Variant::Bstr(std::u16string(newValue)));
}

void CExcelPageSetup::put_CenterFooter(std::u16string_view newValue) {
    invoke_put(dispid::kCenterFooter, {}, Variant::Bstr(std::u16string(newValue)));
}

void CExcelPageSetup::put_PaperSize(std::int32_t newValue) {
    invoke_put(dispid::kPaperSize, {}, Variant::I4(newValue));
}

Variant CExcelRange::BorderAround(const Variant& LineStyle, std::int32_t Weight,
                                  std::int32_t ColorIndex, const Variant& Color) {
    return invoke(dispid::kBorderAround, InvokeKind::Method,
                  {LineStyle, Variant::I4(Weight), Variant::I4(ColorIndex), Color});
}

void CExcelRange::put_ColumnWidth(const Variant& newValue) {
    invoke_put(dispid::kColumnWidth, {}, newValue);
}

Dispatch* CExcelRange::get_Font() {
    return dispatch_result(invoke(dispid::kFont, InvokeKind::PropertyGet, {}));
}

void CExcelRange::put_HorizontalAlignment(const Variant& newValue) {
    invoke_put(dispid::kHorizontalAlignment, {}, newValue);
}

Variant CExcelRange::get_Item(const Variant& RowIndex, const Variant& ColumnIndex) {
    Variant result = invoke(dispid::kItem, InvokeKind::PropertyGet, {RowIndex, ColumnIndex});
    if (result.vt() != automation::VT_DISPATCH || result.dispatch() == nullptr) {
        throw AutomationException(automation::kDispTypeMismatch);
    }
    return result;
}

void CExcelRange::put_Item(const Variant& RowIndex, const Variant& ColumnIndex,
                           const Variant& newValue) {
    invoke_put(dispid::kItem, {RowIndex, ColumnIndex}, newValue);
}

Dispatch* CExcelRange::get_Resize(const Variant& RowSize, const Variant& ColumnSize) {
    return dispatch_result(invoke(dispid::kResize, InvokeKind::PropertyGet, {RowSize, ColumnSize}));
}

void CExcelRange::put_RowHeight(const Variant& newValue) {
    invoke_put(dispid::kRowHeight, {}, newValue);
}

void CExcelRange::put_Value2(const Variant& newValue) { invoke_put(dispid::kValue2, {}, newValue); }

void CExcelRange::put_VerticalAlignment(const Variant& newValue) {
    invoke_put(dispid::kVerticalAlignment, {}, newValue);
}

void CExcelRange::Merge(const Variant& Across) { invoke(dispid::kMerge, InvokeKind::Method, {Across}); }

void CExcelFont::put_Bold(const Variant& newValue) { invoke_put(dispid::kBold, {}, newValue); }

void CExcelFont::put_Italic(const Variant& newValue) { invoke_put(dispid::kItalic, {}, newValue); }

void CExcelFont::put_Size(const Variant& newValue) { invoke_put(dispid::kSize, {}, newValue); }

void FormatCellName(int row, int column, std::string& text) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c", 64 + column);
    text = buffer;
    std::snprintf(buffer, sizeof buffer, "%d ", row);
    text += buffer;
}

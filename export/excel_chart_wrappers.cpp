// The wrappers of fills, filters, frozen panes and charts: each operation is
// one Invoke, as in excel_wrappers.cpp.
#include "excel_object_model.h"
#include "excel_wrappers.h"

using automation::Dispatch;
using automation::InvokeKind;
using automation::Variant;
namespace dispid = excel::dispid;

Dispatch* CExcelApplication::get_ActiveWindow() {
    return dispatch_result(invoke(dispid::kActiveWindow, InvokeKind::PropertyGet, {}));
}

void CExcelWorksheet::Activate() { invoke(dispid::kActivate, InvokeKind::Method, {}); }

Dispatch* CExcelWorksheet::ChartObjects() {
    return dispatch_result(invoke(dispid::kChartObjects, InvokeKind::Method, {}));
}

Dispatch* CExcelRange::get_Interior() {
    return dispatch_result(invoke(dispid::kInterior, InvokeKind::PropertyGet, {}));
}

void CExcelRange::AutoFilter() { invoke(dispid::kAutoFilter, InvokeKind::Method, {}); }

void CExcelInterior::put_ColorIndex(const Variant& newValue) { invoke_put(dispid::kColorIndex, {}, newValue); }

void CExcelWindow::put_SplitRow(const Variant& newValue) { invoke_put(dispid::kSplitRow, {}, newValue); }

void CExcelWindow::put_SplitColumn(const Variant& newValue) { invoke_put(dispid::kSplitColumn, {}, newValue); }

void CExcelWindow::put_FreezePanes(bool value) { invoke_put(dispid::kFreezePanes, {}, Variant::Bool(value)); }

Dispatch* CExcelChartObjects::Add(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height) {
    return dispatch_result(invoke(dispid::kAdd, InvokeKind::Method,
                                  {Variant::I4(Left), Variant::I4(Top), Variant::I4(Width), Variant::I4(Height)}));
}

Dispatch* CExcelChartObject::get_Chart() {
    return dispatch_result(invoke(dispid::kChart, InvokeKind::PropertyGet, {}));
}

void CExcelChart::put_ChartType(std::int32_t newValue) { invoke_put(dispid::kChartType, {}, Variant::I4(newValue)); }

void CExcelChart::SetSourceData(const Variant& Source, const Variant& PlotBy) {
    invoke(dispid::kSetSourceData, InvokeKind::Method, {Source, PlotBy});
}

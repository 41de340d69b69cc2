// Thin wrappers over the spreadsheet's objects. Each operation is exactly
// one Invoke with the member's fixed dispatch identifier; an operation that
// returns an object hands the caller a new reference, to be wrapped by
// construction or AttachDispatch.
#pragma once

#include "automation_driver.h"

#include <cstdint>
#include <string>
#include <string_view>

class CExcelApplication : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Dispatch* get_Workbooks();
    void Quit();
    void put_UserControl(bool value);
    automation::Dispatch* get_ActiveWindow();
};

class CExcelWorkbooks : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Dispatch* Add(const automation::Variant& Template);
};

class CExcelWorkbook : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Dispatch* get_Worksheets();
    void SaveCopyAs(const automation::Variant& Filename);
    void put_Saved(bool value);
};

class CExcelWorksheets : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Dispatch* get_Item(const automation::Variant& Index);
    std::int32_t get_Count();
    automation::Dispatch* Add(const automation::Variant& Before, const automation::Variant& After,
                              const automation::Variant& Count, const automation::Variant& Type);
};

class CExcelWorksheet : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_Name(std::u16string_view newValue);
    automation::Dispatch* get_Range(const automation::Variant& Cell1,
                                    const automation::Variant& Cell2);
    automation::Dispatch* get_Cells();
    void Activate();
    automation::Dispatch* ChartObjects();
    automation::Dispatch* get_PageSetup();
};

// How a sheet prints. FitToPagesWide and FitToPagesTall count only once
// Zoom is FALSE; FitToPagesTall FALSE means as many pages as it takes.
// Footer texts take the object model's codes ("&P" page, "&N" pages).
class CExcelPageSetup : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_Orientation(std::int32_t newValue);
    void put_Zoom(const automation::Variant& newValue);
    void put_FitToPagesWide(const automation::Variant& newValue);
    void put_FitToPagesTall(const automation::Variant& newValue);
    void put_PrintTitleRows(std::u16string_view newValue);
    void put_CenterFooter(std::u16string_view newValue);
    void put_PaperSize(std::int32_t newValue);
};

class CExcelRange : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Variant BorderAround(const automation::Variant& LineStyle, std::int32_t Weight,
                                     std::int32_t ColorIndex, const automation::Variant& Color);
    void put_ColumnWidth(const automation::Variant& newValue);
    automation::Dispatch* get_Font();
    void put_HorizontalAlignment(const automation::Variant& newValue);
    // VT_DISPATCH holding a one-cell range; attach its dispatch into a
    // range wrapper (detach_dispatch) rather than clearing it.
    automation::Variant get_Item(const automation::Variant& RowIndex,
                                 const automation::Variant& ColumnIndex);
    void put_Item(const automation::Variant& RowIndex, const automation::Variant& ColumnIndex,
                  const automation::Variant& newValue);
    automation::Dispatch* get_Resize(const automation::Variant& RowSize,
                                     const automation::Variant& ColumnSize);
    void put_RowHeight(const automation::Variant& newValue);
    void put_Value2(const automation::Variant& newValue);
    void put_VerticalAlignment(const automation::Variant& newValue);
    void Merge(const automation::Variant& Across);
    automation::Dispatch* get_Interior();
    void AutoFilter();
};

class CExcelFont : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_Bold(const automation::Variant& newValue);
    void put_Italic(const automation::Variant& newValue);
    void put_Size(const automation::Variant& newValue);
};

// The fill of a range.
class CExcelInterior : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_ColorIndex(const automation::Variant& newValue);
};

// The active window: frozen panes above and left of the split.
class CExcelWindow : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_SplitRow(const automation::Variant& newValue);
    void put_SplitColumn(const automation::Variant& newValue);
    void put_FreezePanes(bool value);
};

// A sheet's embedded charts.
class CExcelChartObjects : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    // Position and size in points.
    automation::Dispatch* Add(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height);
};

class CExcelChartObject : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    automation::Dispatch* get_Chart();
};

class CExcelChart : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_ChartType(std::int32_t newValue);
    // `Source`: a range whose first row names the series and whose first
    // column names the categories; `PlotBy` excel::kPlotByColumns or Rows.
    void SetSourceData(const automation::Variant& Source, const automation::Variant& PlotBy);
};

// Row and column to a cell reference: the letter with code 64 + column, then
// the row and one trailing blank ("B2 "). Valid for columns 1 to 26 only;
// a larger column gives a character past Z and no valid reference.
void FormatCellName(int row, int column, std::string& text);

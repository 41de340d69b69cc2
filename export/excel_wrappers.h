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
};

class CExcelFont : public AutomationDriver {
public:
    using AutomationDriver::AutomationDriver;
    void put_Bold(const automation::Variant& newValue);
    void put_Italic(const automation::Variant& newValue);
    void put_Size(const automation::Variant& newValue);
};

// Row and column to a cell reference: the letter with code 64 + column, then
// the row and one trailing blank ("B2 "). Valid for columns 1 to 26 only;
// a larger column gives a character past Z and no valid reference.
void FormatCellName(int row, int column, std::string& text);

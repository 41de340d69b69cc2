// The in-process spreadsheet server. It answers the object model's members
// that the exports use (Application, Workbooks, Workbook, Worksheets,
// Worksheet, Range, Font) on an in-memory workbook and writes .xlsx files
// on SaveCopyAs. Calls it does not know, arguments of the wrong type and bad
// references fail as a spreadsheet application fails them: with a status,
// or with kDispException and a description.
#pragma once

#include "automation_types.h"
#include "sheet_model.h"

inline constexpr const char* kSheetEngineProgId = "Excel.Application";

// A new application object with one reference.
automation::Dispatch* create_sheet_engine();

// The workbook behind an engine Workbook object, or nullptr for any other
// object. For tests that look at the model directly.
const WorkbookModel* sheet_engine_workbook(automation::Dispatch* workbook);

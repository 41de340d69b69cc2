// The .xlsx writer under save_workbook_file(): shared by the platforms'
// save procedures (workbook_save_*.cpp), which wrap it in their own safe
// replace of the target.
#pragma once

#include "sheet_model.h"

#include <ctime>
#include <string>

// Writes `model` as an .xlsx file at exactly `path` (a temporary name of
// the caller's), overwriting it; empty text, or the reason it failed in
// words for the user. libxlsxwriter assembles the parts of the file in
// `scratchFolder` (null: the system's temporary folder).
std::string write_xlsx(const WorkbookModel& model, const std::string& path, std::time_t created,
                       const char* scratchFolder);

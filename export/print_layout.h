// How the workbooks print: A4, one page wide and as many pages tall as the
// sheet needs, the given rows repeated at the top of every page, and
// "Page &P of &N" centred in the footer, so a printed, filed record says
// which page of how many each sheet is.
#pragma once

#include "excel_wrappers.h"

#include <string_view>

// "Page &P of &N": page number and page count, centred in the footer.
inline constexpr std::string_view kPageFooter = "Page &P of &N";

// `orientation` is excel::kPortrait or excel::kLandscape; `titleRows` whole
// rows such as "$2:$2". May throw AutomationError.
void set_print_layout(CExcelWorksheet& sheet, int orientation, std::string_view titleRows);

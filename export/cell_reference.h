// A1-style references as the spreadsheet's Range accepts them: "B2",
// "$B$2", "A1:C3", whole columns "A:C" and whole rows "1:3", in either
// letter case, with blanks around them ignored (so "B2 " is B2).
#pragma once

#include "sheet_model.h"

#include <optional>
#include <string>
#include <string_view>

std::optional<CellRect> parse_reference(std::string_view text);

// "A".."XFD" for columns 1..16384.
std::string column_letters(int column);
// "B2", or "A1:C3" for a block.
std::string format_reference(const CellRect& rect);

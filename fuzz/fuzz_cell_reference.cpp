// Cell references of any text, as the spreadsheet engine's Range takes
// them. A reference that parses must lie on the sheet, with its corners in
// order, and its written form must parse back to the same block.
#include "cell_reference.h"
#include "sheet_model.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto rect = parse_reference(text);
    if (!rect) return 0;
    if (rect->top < 1 || rect->left < 1 || rect->bottom > kMaxRows || rect->right > kMaxColumns) std::abort();
    if (rect->top > rect->bottom || rect->left > rect->right) std::abort();
    const auto again = parse_reference(format_reference(*rect));
    if (!again || !(*again == *rect)) std::abort();
    return 0;
}

#include "print_layout.h"

#include "excel_object_model.h"
#include "wide_text.h"

using automation::Variant;

namespace {
constexpr int kPagesWide = 1;
}  // namespace

void set_print_layout(CExcelWorksheet& sheet, int orientation, std::string_view titleRows) {
    CExcelPageSetup page(sheet.get_PageSetup());
    page.put_Orientation(orientation);
    page.put_PaperSize(excel::kPaperA4);
    // Zoom FALSE hands the scale to the two page counts; FALSE for the
    // height lets a long list run on over as many pages as it needs.
    page.put_Zoom(Variant::Bool(false));
    page.put_FitToPagesWide(Variant::I4(kPagesWide));
    page.put_FitToPagesTall(Variant::Bool(false));
    page.put_PrintTitleRows(utf8_to_utf16(titleRows));
    page.put_CenterFooter(utf8_to_utf16(kPageFooter));
}

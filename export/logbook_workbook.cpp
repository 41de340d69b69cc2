#include "logbook_workbook.h"

#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

// Characters per column: the details workbook's seven, then the gateway's
// address and a UTC time.
constexpr double kColumnWidths[9] = {8, 18, 20, 23, 8, 10, 30, 16, 22};
constexpr int kFitOnePageWide = 1;
constexpr int kAsManyPagesTallAsNeeded = 0;

}  // namespace

std::string write_logbook_workbook(const std::vector<LogbookRow>& rows, const std::string& title,
                                   const std::string& path, const std::string& footnote) {
    const std::string temp = path + ".part-" + std::to_string(getpid());
    lxw_workbook* book = workbook_new(temp.c_str());
    if (book == nullptr) return "cannot create " + temp;
    lxw_worksheet* sheet = workbook_add_worksheet(book, kLogbookSheetName);
    lxw_format* heading = workbook_add_format(book);
    format_set_bold(heading);
    format_set_bottom(heading, LXW_BORDER_THIN);

    worksheet_set_landscape(sheet);
    worksheet_fit_to_pages(sheet, kFitOnePageWide, kAsManyPagesTallAsNeeded);
    worksheet_repeat_rows(sheet, 0, 0);
    worksheet_set_header(sheet, ("&C" + title).c_str());
    // "&" starts a code in a header or footer: a text's own is doubled.
    std::string left;
    for (const char c : footnote) left += c == '&' ? std::string("&&") : std::string(1, c);
    worksheet_set_footer(sheet, ((left.empty() ? "" : "&L" + left) + "&CPage &P of &N").c_str());
    for (lxw_col_t c = 0; c < kLogbookColumns.size(); ++c) {
        worksheet_set_column(sheet, c, c, kColumnWidths[c], nullptr);
        worksheet_write_string(sheet, 0, c, kLogbookColumns[c], heading);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (lxw_col_t c = 0; c < kLogbookColumns.size(); ++c)
            worksheet_write_string(sheet, static_cast<lxw_row_t>(r + 1), c, rows[r][c].c_str(), nullptr);
    }
    const lxw_error closed = workbook_close(book);
    std::error_code ec;
    if (closed != LXW_NO_ERROR) {
        std::filesystem::remove(temp, ec);
        return std::string("the workbook could not be written (") + lxw_strerror(closed) + ")";
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp);
        return path + ": " + ec.message();
    }
    return {};
}

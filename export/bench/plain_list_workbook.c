/* The 128-row test results workbook written by calling libxlsxwriter
 * directly, with its default options: the yardstick for the whole export
 * path. The cells, formats, widths, heights and print settings are those
 * of the test results export: headings in row 2 from column B, bold; a thin
 * black box around every cell of B..H, centred; rows 2 to R+2 20 high; the
 * column widths of the list; plain integers as numbers, other texts as
 * strings; landscape A4, one page wide, row 2 on every page, "Page &P of
 * &N" in the footer. */
#include "plain_list_workbook.h"

#include <xlsxwriter.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const double kWidths[7] = {8, 18, 20, 23, 8, 10, 8};

/* "0", "124", "-7": at most 15 digits, no leading zero, no sign on zero. */
static int is_plain_integer(const char* text) {
    size_t i = text[0] == '-' && text[1] != '\0' ? 1 : 0;
    const size_t digits = strlen(text) - i;
    if (digits == 0 || digits > 15) return 0;
    if (text[i] == '0' && (digits > 1 || i == 1)) return 0;
    for (; text[i] != '\0'; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
    }
    return 1;
}

static lxw_format* grid_format(lxw_workbook* book, int bold) {
    lxw_format* f = workbook_add_format(book);
    format_set_border(f, LXW_BORDER_THIN);
    format_set_border_color(f, LXW_COLOR_BLACK);
    format_set_align(f, LXW_ALIGN_CENTER);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    if (bold) format_set_bold(f);
    return f;
}

static int sync_file(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int synced = fsync(fd);
    return close(fd) == 0 && synced == 0 ? 0 : -1;
}

int plain_list_workbook(const char* path, const char* const headings[7], const char* const* rows,
                        int rowCount, time_t created, int fsyncFile) {
    lxw_workbook* book = workbook_new(path);
    if (book == NULL) return -1;
    lxw_doc_properties properties;
    memset(&properties, 0, sizeof properties);
    properties.created = created;
    workbook_set_properties(book, &properties);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Proposed ZEQ Spreadsheet");

    worksheet_set_landscape(sheet);
    worksheet_set_paper(sheet, 9);
    worksheet_fit_to_pages(sheet, 1, 0);
    worksheet_repeat_rows(sheet, 1, 1);
    worksheet_set_footer(sheet, "&CPage &P of &N");

    lxw_format* headerCorner = workbook_add_format(book);
    format_set_bold(headerCorner);
    lxw_format* header = grid_format(book, 1);
    lxw_format* cell = grid_format(book, 0);

    for (int c = 0; c < 7; ++c) worksheet_set_column(sheet, (lxw_col_t)(c + 1), (lxw_col_t)(c + 1), kWidths[c], NULL);
    for (int r = 1; r <= rowCount + 1; ++r) worksheet_set_row(sheet, (lxw_row_t)r, 20, NULL);

    worksheet_write_blank(sheet, 1, 0, headerCorner);
    for (int c = 0; c < 7; ++c) worksheet_write_string(sheet, 1, (lxw_col_t)(c + 1), headings[c], header);
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < 7; ++c) {
            const char* text = rows[r * 7 + c];
            const lxw_row_t row = (lxw_row_t)(r + 2);
            const lxw_col_t column = (lxw_col_t)(c + 1);
            if (text[0] == '\0') {
                worksheet_write_blank(sheet, row, column, cell);
            } else if (is_plain_integer(text)) {
                worksheet_write_number(sheet, row, column, strtod(text, NULL), cell);
            } else {
                worksheet_write_string(sheet, row, column, text, cell);
            }
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR) return -1;
    return fsyncFile ? sync_file(path) : 0;
}

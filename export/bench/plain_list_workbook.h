/* The yardstick of the export benchmark: see plain_list_workbook.c. */
#ifndef PLAIN_LIST_WORKBOOK_H
#define PLAIN_LIST_WORKBOOK_H

#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the list workbook of `rowCount` rows of seven texts (`rows` row
 * by row) to `path`; with `fsyncFile`, flushes the file to disk as well.
 * 0 on success, -1 on failure. */
int plain_list_workbook(const char* path, const char* const headings[7], const char* const* rows,
                        int rowCount, time_t created, int fsyncFile);

#ifdef __cplusplus
}
#endif

#endif

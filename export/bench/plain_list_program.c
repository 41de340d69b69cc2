/* The yardstick of the export benchmark as a program of its own, with the
 * C library's and libxlsxwriter's defaults:
 *
 *   orvypc-plain-xlsxwriter ROWS.tsv OUT.xlsx
 *
 * reads the headings and rows (seven tab-separated texts a line, headings
 * first), then for each line on standard input writes the workbook to
 * OUT.xlsx, flushes it to disk, and prints the milliseconds it took. */
#include "plain_list_workbook.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kColumns = 7, kMaxRows = 4096, kLine = 4096 };

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

/* Splits `line` in place into seven texts; 0 when it has fewer. */
static int split(char* line, const char** texts) {
    line[strcspn(line, "\n")] = '\0';
    for (int c = 0; c < kColumns; ++c) {
        texts[c] = line;
        char* tab = strchr(line, '\t');
        if (tab == NULL) return c == kColumns - 1;
        *tab = '\0';
        line = tab + 1;
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: orvypc-plain-xlsxwriter ROWS.tsv OUT.xlsx\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "r");
    if (in == NULL) return 1;
    static char lines[kMaxRows + 1][kLine];
    static const char* texts[(kMaxRows + 1) * kColumns];
    int count = 0;
    while (count <= kMaxRows && fgets(lines[count], kLine, in) != NULL) {
        if (!split(lines[count], texts + count * kColumns)) return 1;
        ++count;
    }
    fclose(in);
    if (count == 0) return 1;
    char request[16];
    while (fgets(request, sizeof request, stdin) != NULL) {
        const double start = now_ms();
        if (plain_list_workbook(argv[2], texts, texts + kColumns, count - 1, 1436364189, 1) != 0) return 1;
        printf("%.4f\n", now_ms() - start);
        fflush(stdout);
    }
    return 0;
}

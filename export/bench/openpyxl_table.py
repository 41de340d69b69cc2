"""Writes the 128-row test results table with openpyxl, formatted as the
export formats it (bold header, thin box around every cell, centred, rows
20 high, the same column widths), and prints milliseconds per workbook.

    openpyxl_table.py RUNS OUT.xlsx
"""

import sys
import time

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

COLUMNS = ["Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"]
WIDTHS = [8, 18, 20, 23, 8, 10, 8]


def rows():
    for unit in range(128):
        yield [f"{'A' if unit < 64 else 'B'}{unit % 64}", f"Luminaire {unit}", f"Floor {unit // 16}",
               f"2015/07/{1 + unit % 28:02d} {unit % 24:02d}:{unit % 60:02d}:{(7 * unit) % 60:02d}",
               "DT" if unit % 3 == 0 else "FT", 180 if unit % 3 == 0 else "none",
               "FAIL" if unit % 7 == 0 else "OK"]


def write(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Proposed ZEQ Spreadsheet"
    thin = Side(style="thin", color="FF000000")
    box = Border(left=thin, right=thin, top=thin, bottom=thin)
    centre = Alignment(horizontal="center", vertical="center")
    for c, (heading, width) in enumerate(zip(COLUMNS, WIDTHS)):
        ws.cell(2, 2 + c, heading).font = Font(bold=True, italic=False, size=11)
        ws.column_dimensions[chr(66 + c)].width = width
    for r, row in enumerate(rows()):
        for c, text in enumerate(row):
            ws.cell(3 + r, 2 + c, text)
    for r in range(2, 131):
        ws.row_dimensions[r].height = 20
        for c in range(2, 9):
            cell = ws.cell(r, c)
            cell.border = box
            cell.alignment = centre
    wb.save(path)


def main():
    runs, path = int(sys.argv[1]), sys.argv[2]
    start = time.perf_counter()
    for _ in range(runs):
        write(path)
    ms = (time.perf_counter() - start) * 1000 / runs
    print(f"{'test results, 128 rows (openpyxl)':<44} {ms:8.2f} ms")


if __name__ == "__main__":
    main()

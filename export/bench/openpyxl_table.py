"""Writes the workbooks of the export benchmark with openpyxl and prints
milliseconds per workbook:
 - the 128-row test results table and the 255-row details table, formatted
   as the export formats them (bold header, thin box around every cell,
   centred, rows 20 high, the same column widths);
 - a status workbook of the same size: sheets "LOG" and "Log Explanations",
   a merged title, nine merged section rows and 74 item rows of three
   columns (the explanation texts are stand-ins of similar length).

    openpyxl_table.py RUNS OUT.xlsx
"""

import sys
import time

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

COLUMNS = ["Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"]
WIDTHS = [8, 18, 20, 23, 8, 10, 8]


def rows(count):
    for unit in range(count):
        yield [f"{'A' if unit < 64 else 'B'}{unit % 64}", f"Luminaire {unit}", f"Floor {unit // 16}",
               f"2015/07/{1 + unit % 28:02d} {unit % 24:02d}:{unit % 60:02d}:{(7 * unit) % 60:02d}",
               "DT" if unit % 3 == 0 else "FT", 180 if unit % 3 == 0 else "none",
               "FAIL" if unit % 7 == 0 else "OK"]


def write(path, count):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Proposed ZEQ Spreadsheet"
    thin = Side(style="thin", color="FF000000")
    box = Border(left=thin, right=thin, top=thin, bottom=thin)
    centre = Alignment(horizontal="center", vertical="center")
    for c, (heading, width) in enumerate(zip(COLUMNS, WIDTHS)):
        ws.cell(2, 2 + c, heading).font = Font(bold=True, italic=False, size=11)
        ws.column_dimensions[chr(66 + c)].width = width
    for r, row in enumerate(rows(count)):
        for c, text in enumerate(row):
            ws.cell(3 + r, 2 + c, text)
    for r in range(2, 3 + count):
        ws.row_dimensions[r].height = 20
        for c in range(2, 9):
            cell = ws.cell(r, c)
            cell.border = box
            cell.alignment = centre
    wb.save(path)


SECTION_SIZES = [8, 6, 7, 16, 8, 8, 5, 8, 8]   # 74 items in nine sections


def write_status_sheet(ws, title, third):
    thin = Side(style="thin", color="FF000000")
    box = Border(left=thin, right=thin, top=thin, bottom=thin)
    ws.merge_cells("A1:C1")
    ws["A1"] = title
    ws["A1"].font = Font(bold=True, size=14)
    ws.column_dimensions["A"].width = 24
    ws.column_dimensions["B"].width = 40
    ws.column_dimensions["C"].width = 60 if third == "Explanations" else 16
    r = 2
    for s, size in enumerate(SECTION_SIZES):
        ws.merge_cells(start_row=r, start_column=1, end_row=r, end_column=3)
        ws.cell(r, 1, f"Section {s + 1}").font = Font(bold=True)
        r += 1
        for i in range(size):
            ws.cell(r, 1, f"Section {s + 1}")
            ws.cell(r, 2, f"Status item {s}.{i}")
            ws.cell(r, 3, f"Explanation of status item {s}.{i}, what it means for the luminaire"
                    if third == "Explanations" else "Yes" if i % 2 else "No")
            for c in range(1, 4):
                ws.cell(r, c).border = box
            r += 1


def write_status(path):
    wb = openpyxl.Workbook()
    log = wb.active
    log.title = "LOG"
    write_status_sheet(log, "B5 Status", "Value")
    write_status_sheet(wb.create_sheet("Log Explanations"), "B5 Status", "Explanations")
    wb.save(path)


def timed(runs, label, work):
    start = time.perf_counter()
    for _ in range(runs):
        work()
    ms = (time.perf_counter() - start) * 1000 / runs
    print(f"{label:<44} {ms:8.2f} ms", flush=True)


def main():
    runs, path = int(sys.argv[1]), sys.argv[2]
    timed(runs, "test results, 128 rows (openpyxl)", lambda: write(path, 128))
    timed(runs, "details, 255 rows (openpyxl)", lambda: write(path, 255))
    timed(runs, "status record, 2 sheets (openpyxl)", lambda: write_status(path))


if __name__ == "__main__":
    main()

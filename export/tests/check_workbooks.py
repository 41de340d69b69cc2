"""Reads the workbooks the exports write back with an independent reader
(openpyxl) and checks them cell for cell against the layouts: sheet names
and order, texts, merged areas, borders side by side, alignments, fonts,
column widths and row heights.

    check_workbooks.py WORKBOOK_WRITER OUT_DIR
    check_workbooks.py --check results|details FILE ROWS_JSON
    check_workbooks.py --check status FILE REPLY_HEX LINE ADDRESS
    check_workbooks.py --check status-values FILE STATUS_JSON LINE ADDRESS

The --check forms check one workbook the program wrote (the page tests):
a list workbook against the rows (a JSON array of seven-text arrays) the
page showed, or a status workbook against the reply it was made from (or,
status-values, against the values the front end printed for the same
luminaire: `orvypc status ADDRESS --json`), with the sheet title's time
taken as it comes.

The expected texts are written out here independently of the program:
the list rows are made here and handed to the writer, and the status
values are decoded here from a reply's bytes and handed to it as texts.
"""

import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import openpyxl
from openpyxl.utils.escape import unescape
from openpyxl.worksheet.merge import MergedCellRange
from openpyxl.worksheet.worksheet import Worksheet


# openpyxl keeps a merged area's outline on its upper-left cell: on loading
# it moves the lower-right cell's borders there and replaces the other cells
# by placeholders that borrow the upper-left cell's borders. The check wants
# every cell's format as the file stores it (that is what the spreadsheet
# draws), so the loader is told to leave the cells of merged areas alone.
def _start_cell_only(self):
    self.start_cell = self.ws.cell(row=self.min_row, column=self.min_col)


MergedCellRange._get_borders = _start_cell_only
Worksheet._clean_merge_range = lambda self, mcr: None

WRITER = None
OUT_DIR = None
CHECK = None   # --check: (kind, file, *what to expect)

COLUMNS = ["Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"]
LIST_WIDTHS = {"B": 8, "C": 18, "D": 20, "E": 23, "F": 8, "G": 10, "H": 8}
BLACK = "FF000000"
# Texts a user expects as numbers: the spreadsheet stores these as numbers.
PLAIN_INTEGER = re.compile(r"-?(0|[1-9][0-9]{0,14})")


def run_writer(*args):
    env = dict(os.environ, TZ="UTC")
    # ORVYPC_RUNNER: the emulator a cross-built writer runs under (Wine).
    runner = [os.environ["ORVYPC_RUNNER"]] if os.environ.get("ORVYPC_RUNNER") else []
    done = subprocess.run([*runner, WRITER, *map(str, args)], env=env, capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError(f"writer {args} failed: {done.returncode} {done.stderr}")


def shown(value):
    """The text a cell shows: numbers as the integer text they came from."""
    if value is None:
        return ""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    if isinstance(value, str):
        return unescape(value)  # the file writes a carriage return as _x000D_
    return str(value)


def user_width(file_width):
    """Column width in the sheet's own units from the stored width (the file
    adds 5 pixels of padding to a 7-pixel digit)."""
    return round((file_width * 7 - 5) / 7, 2)


def sides(cell):
    b = cell.border
    return {name: (getattr(b, name).style, getattr(b, name).color.rgb if getattr(b, name).color else None)
            for name in ("left", "right", "top", "bottom")}


def check_print_setup(test, ws, orientation, title_rows):
    """A4, one page wide and as many tall as it takes, the title rows on
    every page, "Page &P of &N" centred in the footer."""
    ps = ws.page_setup
    where = ws.title
    test.assertEqual(ps.orientation, orientation, where)
    test.assertEqual(str(ps.paperSize), "9", where)  # A4
    test.assertTrue(ws.sheet_properties.pageSetUpPr.fitToPage, where)
    test.assertIn(ps.fitToWidth, (None, 1), where)  # absent is the file's default, 1
    test.assertEqual(ps.fitToHeight, 0, where)
    test.assertEqual(ws.print_title_rows, title_rows, where)
    test.assertEqual(ws.oddFooter.center.text, "Page &P of &N", where)


def make_rows(count):
    rng = random.Random(5)
    names = ["Stair 1", "走廊 3", "", "Exit \"East\"", "O'Neil's hall", "Lobby\tB", "0", "124"]
    rows = []
    for i in range(count):
        unit = i if i < 64 else i  # both lines
        address = f"A{unit}" if unit < 64 else f"B{unit - 64}"
        minutes = rng.choice(["none", "0", "180", "254", "12"])
        rows.append([address, rng.choice(names), rng.choice(names[:4]) + str(i % 3),
                     f"2015/07/{1 + i % 28:02d} {i % 24:02d}:{i % 60:02d}:{(7 * i) % 60:02d}",
                     rng.choice(["FT", "DT"]), minutes, rng.choice(["OK", "FAIL", "NULL"])])
    return rows


class ListWorkbook(unittest.TestCase):
    def write(self, kind, rows, name):
        rows_file = os.path.join(OUT_DIR, name + ".json")
        with open(rows_file, "w", encoding="utf-8") as f:
            json.dump({"headings": COLUMNS, "rows": rows}, f, ensure_ascii=False)
        out = os.path.join(OUT_DIR, name + ".xlsx")
        if kind == "results":
            run_writer("results", rows_file, out)
        else:
            run_writer("details", "B5", rows_file, out)
        return openpyxl.load_workbook(out)

    def check_layout(self, wb, rows, details):
        self.assertEqual(wb.sheetnames, ["Proposed ZEQ Spreadsheet"])
        ws = wb.active
        last = len(rows) + 2
        self.assertEqual(list(ws.merged_cells.ranges), [])
        # Row 1 and column A stay empty; nothing below the last row.
        for col in "ABCDEFGHI":
            self.assertIsNone(ws[f"{col}1"].value)
            self.assertIsNone(ws[f"{col}{last + 1}"].value, f"{col}{last + 1}")
        for r in range(1, last + 2):
            self.assertIsNone(ws[f"A{r}"].value)
        # Headers and rows, in the list's order, texts as the list shows them.
        for c, heading in enumerate(COLUMNS):
            self.assertEqual(ws.cell(2, 2 + c).value, heading)
        for r, row in enumerate(rows):
            for c, text in enumerate(row):
                cell = ws.cell(3 + r, 2 + c)
                self.assertEqual(shown(cell.value), text, cell.coordinate)
                if text == "":
                    self.assertIsNone(cell.value, cell.coordinate)
                elif PLAIN_INTEGER.fullmatch(text):
                    self.assertEqual(cell.data_type, "n", cell.coordinate)
                else:
                    self.assertEqual(cell.data_type, "s", cell.coordinate)
        # Grid: a thin black box around every cell of B..H, rows 2..R+2.
        for r in range(1, last + 3):
            for col in "ABCDEFGHI":
                cell = ws[f"{col}{r}"]
                if 2 <= r <= last and col in "BCDEFGH":
                    self.assertEqual(sides(cell), {s: ("thin", BLACK) for s in ("left", "right", "top", "bottom")},
                                     cell.coordinate)
                    self.assertEqual((cell.alignment.horizontal, cell.alignment.vertical), ("center", "center"),
                                     cell.coordinate)
                else:
                    self.assertEqual({s for s, v in sides(cell).items() if v[0]}, set(), cell.coordinate)
        # A2: bold header font in both; centred only in the details workbook.
        a2 = ws["A2"]
        expected = ("center", "center") if details else (None, None)
        self.assertEqual((a2.alignment.horizontal, a2.alignment.vertical), expected)
        for col in "ABCDEFGH":
            font = ws[f"{col}2"].font
            self.assertEqual((font.b, font.i, font.sz), (True, False, 11), col)
        if rows:
            self.assertFalse(ws["B3"].font.b)
        # Widths and heights.
        for col, width in LIST_WIDTHS.items():
            self.assertAlmostEqual(user_width(ws.column_dimensions[col].width), width, places=2, msg=col)
        self.assertNotIn("A", ws.column_dimensions)  # the sheet's default width
        for r in range(2, last + 1):
            self.assertEqual(ws.row_dimensions[r].height, 20, r)
        self.assertIsNone(ws.row_dimensions[1].height)
        self.assertIsNone(ws.row_dimensions[last + 1].height)
        check_print_setup(self, ws, "landscape", "$2:$2")

    def test_128_rows_of_test_results(self):
        rows = make_rows(128)
        self.check_layout(self.write("results", rows, "results128"), rows, details=False)

    def test_details(self):
        rows = make_rows(9)
        self.check_layout(self.write("details", rows, "details9"), rows, details=True)

    def test_empty_list_gives_the_header_row_and_its_grid(self):
        self.check_layout(self.write("results", [], "results0"), [], details=False)
        self.check_layout(self.write("details", [], "details0"), [], details=True)

    def test_the_two_lists_differ_only_in_the_alignment_of_a2(self):
        rows = make_rows(6)
        a = self.write("results", rows, "same-results").active
        b = self.write("details", rows, "same-details").active
        for r in range(1, 10):
            for col in "ABCDEFGHI":
                x, y = a[f"{col}{r}"], b[f"{col}{r}"]
                self.assertEqual((x.value, sides(x), x.font.b, x.font.sz), (y.value, sides(y), y.font.b, y.font.sz))
                if f"{col}{r}" != "A2":
                    self.assertEqual((x.alignment.horizontal, x.alignment.vertical),
                                     (y.alignment.horizontal, y.alignment.vertical), f"{col}{r}")
        self.assertNotEqual(a["A2"].alignment.horizontal, b["A2"].alignment.horizontal)


# The status items: (section, label, how, offset, bit or suffix).
def _bits(section, offset, labels):
    return [(section, label, "bit", offset, n) for n, label in enumerate(labels)]


STATUS_ITEMS = (
    [("Status", "Ready", "clear", 26, 0)]
    + _bits("Status", 26, ["Ready", "Lamp failure", "Lamp arc power on", "Limit error", "Fade running",
                           "Reset state", "Missing short address", "Power cycle seen"])[1:]
    + [("Test Timing", "Next function test", "word", 27, " Hours"),
       ("Test Timing", "Next duration test", "word", 29, " Hours"),
       ("Test Timing", "Function test interval", "byte", 31, " Days"),
       ("Test Timing", "Duration test interval", "byte", 33, " Weeks"),
       ("Test Timing", "Test execution time out", "byte", 34, " Days"),
       ("Test Timing", "Prolong time", "byte", 36, " Min")]
    + [("Default parameters", label, "byte", offset, " ") for label, offset in
       [("Maximum level", 18), ("Minimum level", 19), ("System fail level", 20), ("Power on level", 21),
        ("Fade Time(Seconds)", 22), ("Fade Rate(Steps/Sec)", 23), ("Physical Minimum", 24)]]
    + [("Member of Group(s)", f"Group{n}", "bit", 25 if n < 8 else 50, n % 8) for n in range(16)]
    + _bits("Features", 17, ["Integral emergency control gear", "Maintained control gear",
                             "Switched maintained control gear", "Auto-test capable", "Adjustable emergency level",
                             "Hardwired inhibit supported", "Physical selection supported",
                             "Re-light rest mode supported"])
    + _bits("Operating mode", 38, ["Rest mode active", "Normal mode active", "Emergency mode active",
                                   "Emergency mode after mains return active", "Function test in progress",
                                   "Duration test in progress", "Hardwired inhibit mode active",
                                   "Hardwired switch is on"])
    + [("Additional information", "Battery charging state", "byte", 39, " %"),
       ("Additional information", "Duration test result", "byte", 40, " min"),
       ("Additional information", "Lamp burning hours in emergency", "byte", 43, " hr"),
       ("Additional information", "Lamp burning hours-total", "times4", 45, " hr"),
       ("Additional information", "Rated duration", "byte", 47, "")]
    + _bits("Emergency status", 48, ["Inhibit mode", "Function test done", "Duration test done",
                                     "Battery fully charged", "Function test request pending",
                                     "Duration test request pending", "indentification active",
                                     "Physically selected"])
    + _bits("Faults", 49, ["Circuit failure", "Rated duration not achieved", "Battery fault", "Lamp failure",
                           "Test window for function test exceeded", "Test window for duration test exceeded",
                           "Function test failed", "Duration test failed"])
)

EXPLANATIONS = [
    "Status of control gear; \"Yes\" = OK",
    "Lamp failure; \"No\" = no lamp failure",
    "Lamp powered by emergency control gear; \"No\" = Lamp not\r\npowered by emergency control gear.",
    "Is the last requested lamp arc power level out of range? \r\nIf the control gear doesn't support arc power "
    "commands,\r\nthis bit shall be \"No\"",
    "Is the lamp in dimming?\r\nIf the control gear doesn't support arc power commands, \r\nthis bit shall be \"No\"",
    "Is the control gear in \"RESET STATE\"?",
    "If the control gear has no short address?",
    "It will be \"Yes\" after mains power off\r\nIt will be \"NO\" after \"RESET\" or an arc power control\r\n"
    "command has been received when mains power on",
    "How many hours until the next automatic function test?",
    "How many hours until the next automatic duration test?",
    "Function test interval",
    "Duration test interval",
    "The rated test execution timeout in days",
    "The hold time of extended emergency mode",
    "The upper limit of arc power level in normal mode",
    "The lower limit of arc power level in normal mode",
    "The arc power level when DALI interface is failure",
    "The arc power level when frist mains power on",
    "Time of change the light output",
    "Speed of change the light output",
    "The manufacturer-fixed minimum level for mains operation",
] + [f"\"Yes\" = This fitting is a member of group {n}" for n in range(16)] + [
    "integral emergency control gear",
    "\"Yes\" = the control gear doesn't support arc power control\r\ncommands, and lamp always keeps on",
    "\"Yes\" = Maintained and non-maintained are switchable",
    "Does it support auto-test?\t",
    "Does it support dimming in normal mode?",
    "Does it support hardwired inhibit mode?",
    "Does it support physical selection?",
    "Does it support re-light in rest mode?",
    "Is the operation mode in rest mode?",
    "Is the operation mode in normal mode?",
    "Is the operation mode in emergency mode?",
    "Is the operation mode in extended emergency mode?",
    "Is the operation mode in function test?",
    "Is the operation mode in duration test?",
    "Is the operation mode in hardwired inhibit mode?",
    "This bit indicates maintained or non-maintained\r\n\"Yes\" = maintained, \"No\" = non-maintained",
    "\"100%\" = battery fully charged",
    "Actual minutes of last duration test",
    "The accumulated lamp functioning time in emergency mode",
    "The accumulated lamp total functioning time",
    "Rated minutes of duration test ",
    "prevente from going into emergency mode when mains off",
    "\"Yes\" = the last function test done and result valid",
    "\"Yes\" = the last duration test done and result valid",
    "Is battery fully charged?",
    "Is there a function test request pending?",
    "Is there a function test request pending?",
    "Is the identification procedure running?",
    "\"Yes\" = physically selected, the address won't be searched\r\nIt should be \"No\" if physical selection is "
    "not supported",
    "\"Yes\" = there is a electronic circuit failure",
    "\"Yes\" = the last duration test time didn't achieve the\r\nrated time because of the battery",
    "\"Yes\" = the battery is failure",
    "\"Yes\" = the lamp is failure",
    "\"Yes\" = the time of last function test request pending\r\nexceeded the test execution timeout",
    "\"Yes\" = the time of last duration test request pending\r\nexceeded the test execution timeout",
    "\"Yes\" = the last finished function test failed because of\r\ncircuit failure, battery failure or lamp failure",
    "\"Yes\" = the last finished duration test failed because of\r\nrated duration not achieved or lamp failure",
]

SECTIONS = [("Status", 3, 10), ("Test Timing", 11, 16), ("Default parameters", 17, 23),
            ("Member of Group(s)", 24, 39), ("Features", 40, 47), ("Operating mode", 48, 55),
            ("Additional information", 56, 60), ("Emergency status", 61, 68), ("Faults", 69, 76)]


def value_text(item, reply):
    _, _, how, offset, extra = item
    if how == "clear":
        return "No" if reply[offset] >> extra & 1 else "Yes"
    if how == "bit":
        return "Yes" if reply[offset] >> extra & 1 else "No"
    if how == "word":
        return f"{reply[offset] | reply[offset + 1] << 8}{extra}"
    if how == "times4":
        return f"{reply[offset] * 4}{extra}"
    return f"{reply[offset]}{extra}"


def status_reply():
    rng = random.Random(74)
    reply = bytearray(rng.randrange(256) for _ in range(60))
    reply[0:2] = b"\xA5\x6C"
    reply[14] = 0x21
    reply[15] = 0
    reply[16] = 69
    reply[26] = 0x10   # fade running, ready
    reply[27:29] = b"\x2C\x01"  # 300 hours
    reply[18] = 254
    reply[39] = 80
    reply[45] = 50     # 200 hr
    reply[47] = 90     # a plain number: a numeric cell
    return bytes(reply)


class PrintedList(unittest.TestCase):
    """LibreOffice prints the 128-row list: every page one page wide, with
    the header row on top and its page number of how many below."""

    def test_128_rows_print_one_page_wide_with_the_header_on_every_page(self):
        office = shutil.which("libreoffice") or shutil.which("soffice")
        if office is None or shutil.which("pdftotext") is None or shutil.which("pdfinfo") is None:
            self.skipTest("LibreOffice (Debian's libreoffice-calc-nogui) or poppler-utils is not installed, "
                          "so the printed pages were not checked")
        rows = make_rows(128)
        book = ListWorkbook.write(self, "results", rows, "printed128")
        book.close()
        xlsx = os.path.join(OUT_DIR, "printed128.xlsx")
        with tempfile.TemporaryDirectory() as home:
            subprocess.run([office, "--headless", "--norestore", "--convert-to", "pdf", "--outdir", OUT_DIR, xlsx],
                           env=dict(os.environ, HOME=home), capture_output=True, timeout=300, check=True)
        pdf = os.path.join(OUT_DIR, "printed128.pdf")
        info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
        pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
        width, height = map(float, re.search(r"^Page size:\s+([\d.]+) x ([\d.]+)", info, re.M).groups())
        self.assertEqual((round(width), round(height)), (842, 595))  # A4 landscape
        self.assertGreater(pages, 1)
        header = re.compile(r"^\s*" + r"\s+".join(map(re.escape, COLUMNS)) + r"\s*$")
        row_line = re.compile(r"^\s*([AB]\d+)\s.*\s(OK|FAIL|NULL)\s*$")
        seen = []
        for page in range(1, pages + 1):
            text = subprocess.run(["pdftotext", "-layout", "-f", str(page), "-l", str(page), pdf, "-"],
                                  capture_output=True, text=True, check=True).stdout
            lines = [line for line in text.splitlines() if line.strip()]
            self.assertRegex(lines[0], header, f"page {page}")
            self.assertEqual(lines[-1].strip(), f"Page {page} of {pages}")
            # Every row of the page is whole: address first, result last.
            for line in lines[1:-1]:
                match = row_line.match(line)
                self.assertIsNotNone(match, f"page {page}: {line!r}")
                seen.append(match.group(1))
        self.assertEqual(seen, [row[0] for row in rows])


class GivenListWorkbook(unittest.TestCase):
    """--check results|details FILE ROWS_JSON"""

    check_layout = ListWorkbook.check_layout

    def test_given_workbook(self):
        if CHECK is None:
            self.skipTest("only with --check")
        kind, path, rows_file = CHECK
        with open(rows_file, encoding="utf-8") as f:
            rows = json.load(f)
        self.check_layout(openpyxl.load_workbook(path), rows, details=(kind == "details"))


class StatusWorkbook(unittest.TestCase):
    title = re.escape("B5-20150708-140309-StatusInformation")

    @classmethod
    def setUpClass(cls):
        if CHECK:
            kind, path, source, line, address = CHECK
            if kind == "status":
                cls.values = [value_text(item, bytes.fromhex(source)) for item in STATUS_ITEMS]
            else:
                with open(source, encoding="utf-8") as f:
                    cls.values = [item["value"] for item in json.load(f)["items"]]
            cls.title = re.escape(f"{line}{address}") + r"-\d{8}-\d{6}-StatusInformation"
            cls.wb = openpyxl.load_workbook(path)
            return
        cls.reply = status_reply()
        cls.values = [value_text(item, cls.reply) for item in STATUS_ITEMS]
        out = os.path.join(OUT_DIR, "status.xlsx")
        lines_file = os.path.join(OUT_DIR, "status-lines.json")
        with open(lines_file, "w", encoding="utf-8") as f:
            json.dump([[item[0], item[1], value] for item, value in zip(STATUS_ITEMS, cls.values)], f)
        run_writer("status", "B", 5, lines_file, out)
        cls.wb = openpyxl.load_workbook(out)

    def test_sheets_in_order(self):
        self.assertEqual(self.wb.sheetnames, ["LOG", "Log Explanations"])

    def test_every_row_of_both_sheets(self):
        self.assertEqual(len(STATUS_ITEMS), 74)
        self.assertEqual(len(EXPLANATIONS), 74)
        for name, title, heading in (("LOG", self.title, "Value"),
                                     ("Log Explanations", re.escape("Log Explanations"), "Explanations")):
            ws = self.wb[name]
            self.assertRegex(ws["A1"].value, f"^{title}$")
            self.assertEqual([ws["B1"].value, ws["C1"].value], [None, None])
            self.assertEqual([ws["A2"].value, ws["B2"].value, ws["C2"].value], ["Section", "Item", heading])
            starts = {first: section for section, first, _ in SECTIONS}
            for i, item in enumerate(STATUS_ITEMS):
                row = 3 + i
                self.assertEqual(ws[f"A{row}"].value, starts.get(row), f"{name}!A{row}")
                self.assertEqual(ws[f"B{row}"].value, item[1], f"{name}!B{row}")
                expected = self.values[i] if name == "LOG" else EXPLANATIONS[i]
                self.assertEqual(shown(ws[f"C{row}"].value), expected, f"{name}!C{row}")
            self.assertEqual(ws.max_row, 76, name)
            self.assertEqual(ws.max_column, 3, name)

    def test_known_values(self):
        if CHECK:
            self.skipTest("the values of the writer's own reply")
        log = self.wb["LOG"]
        self.assertEqual((log["A40"].value, log["B40"].value), ("Features", "Integral emergency control gear"))
        self.assertEqual(log["C7"].value, "Yes")       # fade running
        self.assertEqual(log["C3"].value, "Yes")       # ready
        self.assertEqual(log["C11"].value, "300 Hours")
        self.assertEqual(log["C17"].value, "254 ")     # the blank stays
        self.assertEqual(log["C56"].value, "80 %")
        self.assertEqual(log["C59"].value, "200 hr")
        self.assertEqual(log["C60"].value, 90)         # a plain number is a number
        expl = self.wb["Log Explanations"]
        self.assertIn("\r\n", shown(expl["C5"].value))
        self.assertTrue(shown(expl["C43"].value).endswith("?\t"))

    def test_merges(self):
        expected = {"A1:C1"} | {f"A{first}:A{last}" for _, first, last in SECTIONS}
        for ws in self.wb.worksheets:
            self.assertEqual({str(r) for r in ws.merged_cells.ranges}, expected, ws.title)

    def test_thick_boxes(self):
        for ws in self.wb.worksheets:
            blocks = [(2, 2)] + [(first, last) for _, first, last in SECTIONS]
            for col in "ABC":
                for first, last in blocks:
                    for row in range(first, last + 1):
                        s = sides(ws[f"{col}{row}"])
                        where = f"{ws.title}!{col}{row}"
                        self.assertEqual(s["left"], ("thick", BLACK), where)
                        self.assertEqual(s["right"], ("thick", BLACK), where)
                        self.assertEqual(s["top"], ("thick", BLACK) if row == first else (None, None), where)
                        self.assertEqual(s["bottom"], ("thick", BLACK) if row == last else (None, None), where)
            for col in "ABCD":
                s = sides(ws[f"{col}1"])
                self.assertEqual({k for k, v in s.items() if v[0]}, set(), f"{ws.title}!{col}1")
            self.assertEqual({k for k, v in sides(ws["D3"]).items() if v[0]}, set())

    def test_alignments_and_fonts(self):
        for ws in self.wb.worksheets:
            a1 = ws["A1"]
            self.assertEqual((a1.alignment.horizontal, a1.alignment.vertical), ("center", "center"))
            for ref in ("A1", "B1", "C1", "A2", "B2", "C2"):
                self.assertEqual((ws[ref].font.b, ws[ref].font.i, ws[ref].font.sz), (True, False, 11), ref)
            self.assertFalse(ws["B3"].font.b)
            for row in range(3, 77):
                c = ws[f"C{row}"]
                left = 17 <= row <= 23 or 56 <= row <= 60
                expected = ("left", "center") if left else (None, None)
                self.assertEqual((c.alignment.horizontal, c.alignment.vertical), expected, f"{ws.title}!C{row}")
                a = ws[f"A{row}"]
                self.assertEqual((a.alignment.horizontal, a.alignment.vertical), (None, None))

    def test_print_setup(self):
        for ws in self.wb.worksheets:
            check_print_setup(self, ws, "portrait", "$1:$2")

    def test_widths_and_heights(self):
        for name, widths in (("LOG", [28, 45, 10, 10]), ("Log Explanations", [28, 45, 60, 60])):
            ws = self.wb[name]
            for col, width in zip("ABCD", widths):
                self.assertAlmostEqual(user_width(ws.column_dimensions[col].width), width, places=2)
            self.assertTrue(all(ws.row_dimensions[r].height is None for r in range(1, 77)))


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--check":
        CHECK = tuple(sys.argv[2:])
        kinds = {"results": (GivenListWorkbook, 3), "details": (GivenListWorkbook, 3), "status": (StatusWorkbook, 5),
                 "status-values": (StatusWorkbook, 5)}
        if not CHECK or CHECK[0] not in kinds or len(CHECK) != kinds[CHECK[0]][1]:
            sys.exit(__doc__)
        case = kinds[CHECK[0]][0]
        if case is GivenListWorkbook:
            suite = unittest.TestSuite([GivenListWorkbook("test_given_workbook")])
        else:
            suite = unittest.defaultTestLoader.loadTestsFromTestCase(case)
        sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    WRITER, OUT_DIR = sys.argv[1], sys.argv[2]
    os.makedirs(OUT_DIR, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"])

"""Reads a site survey workbook with openpyxl and checks it against what the
test expects: python3 check_survey_workbook.py WORKBOOK EXPECTED.json"""
import json
import sys

import openpyxl

FILL = {"fault": "FFFF0000", "overdue": "FFFF9900", "not read": "FFC0C0C0"}


def main(path, expected_path):
    expected = json.load(open(expected_path))
    book = openpyxl.load_workbook(path)
    problems = []

    def check(what, got, want):
        if got != want:
            problems.append(f"{what}: got {got!r}, want {want!r}")

    check("sheets", book.sheetnames, ["Summary", "Luminaires", "History"])
    summary, lums, history = book["Summary"], book["Luminaires"], book["History"]

    check("gateway", summary["B3"].value, expected["gateway"])
    header = [c.value for c in summary[7]][1:5]
    check("count headings", header, ["ok", "overdue", "fault", "not read"])
    site = {h: summary.cell(10, i + 2).value for i, h in enumerate(header)}
    check("site counts", site, {h: expected["site"].get(h, 0) for h in header})
    a = [summary.cell(8, i + 2).value for i in range(4)]
    b = [summary.cell(9, i + 2).value for i in range(4)]
    check("line A + line B", [x + y for x, y in zip(a, b)], [site[h] for h in header])
    charts = summary._charts
    check("charts on Summary", len(charts), 1)
    if charts:
        check("chart kind", charts[0].tagname, "barChart")
        check("chart series", len(charts[0].series), 4)

    heads = [c.value for c in lums[1]]
    col = {h: i + 1 for i, h in enumerate(heads)}
    got = {lums.cell(r, 1).value: lums.cell(r, col["Verdict"]).value for r in range(2, lums.max_row + 1)}
    check("verdicts", got, expected["verdicts"])
    for r in range(2, lums.max_row + 1):
        verdict = lums.cell(r, col["Verdict"]).value
        fill = lums.cell(r, col["Verdict"]).fill
        colour = fill.fgColor.rgb if fill.fill_type == "solid" else None
        check(f"fill of {lums.cell(r, 1).value}", colour, FILL.get(verdict))
    check("frozen header", lums.freeze_panes, "A2")
    check("filter", lums.auto_filter.ref, f"A1:{openpyxl.utils.get_column_letter(len(heads))}{lums.max_row}")
    width = lums.column_dimensions["C"].width
    longest = max(len(str(lums.cell(r, 3).value or "")) for r in range(1, lums.max_row + 1))
    check("location column fits its text", width >= longest, True)

    # With a logbook the History sheet has an eighth column, whether the
    # gateway still holds the entry (blank for a remark), newest first.
    columns = ["Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result"]
    if "historyMarks" in expected:
        columns.append("On gateway")
    check("history header", [c.value for c in history[1]], columns)
    check("history rows", history.max_row - 1, expected["historyRows"])
    if "historyMarks" in expected:
        marks = [[history.cell(r, c).value or "" for c in (1, 5, 8)] for r in range(2, history.max_row + 1)]
        check("history marks (address, type, on gateway)", marks, expected["historyMarks"])
    if "attentionWhy" in expected:
        why = {summary.cell(r, 1).value: summary.cell(r, 5).value for r in range(14, summary.max_row + 1)
               if summary.cell(r, 1).value}
        check("why each needs attention", why, expected["attentionWhy"])

    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

#!/bin/sh
# demo_workbook.sh RUNNER ORVYPC_EXE CHECK_WORKBOOKS OUT_DIR
# "orvypc results --demo -o FILE" under RUNNER (Wine), the workbook read
# back by the export tests' reader and compared with the rows that
# "orvypc results --demo" prints.
set -eu
runner=$1 exe=$2 checker=$3 out=$4
# Wine turns the arguments into Windows text by the locale: UTF-8 here.
export LC_ALL=C.UTF-8
rm -rf "$out" && mkdir -p "$out"
book="$out/Prüfung 测试 results.xlsx"
"$runner" "$exe" results --demo -o "$book"
test -s "$book"
"$runner" "$exe" results --demo > "$out/results.tsv"
/usr/bin/python3 - "$out/results.tsv" "$out/rows.json" <<'PY'
import json, sys
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    rows = [line.rstrip("\r\n").split("\t") for line in f if line.strip()][1:]  # the heading first
if not rows:
    sys.exit("no rows printed")
with open(sys.argv[2], "w", encoding="utf-8") as f:
    json.dump(rows, f, ensure_ascii=False)
PY
/usr/bin/python3 "$checker" --check results "$book" "$out/rows.json"

#!/usr/bin/env python3
"""What a mail reader makes of one e-mail, as JSON: python's email module
reads it (an independent reader of MIME, RFC 2047 and quoted-printable),
and the raw lines are measured.

    mail_summary.py MESSAGE.eml      prints the summary of one message
"""
import email
import email.policy
import hashlib
import io
import json
import sys
from email.utils import getaddresses, parsedate_to_datetime


def workbook_sheets(data):
    try:
        import openpyxl
        return openpyxl.load_workbook(io.BytesIO(data), read_only=True).sheetnames
    except Exception as e:  # not a workbook openpyxl can read
        return "unreadable: %s" % e


def summary(raw):
    lines = raw.split(b"\r\n")
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts, structure, defects = [], [], [d.__class__.__name__ for d in msg.defects]
    for part in msg.walk():
        structure.append(part.get_content_type())
        defects += [d.__class__.__name__ for d in part.defects]
        if part.is_multipart():
            continue
        entry = {"type": part.get_content_type(), "filename": part.get_filename()}
        if part.get_content_maintype() == "text":
            # The reader keeps the message's own line ends.
            entry["text"] = part.get_content().replace("\r\n", "\n")
        else:
            data = part.get_payload(decode=True)
            entry["size"] = len(data)
            entry["sha256"] = hashlib.sha256(data).hexdigest()
            if entry["filename"] and entry["filename"].endswith(".xlsx"):
                entry["sheets"] = workbook_sheets(data)
        parts.append(entry)
    date = msg["date"]
    return {
        "subject": str(msg["subject"]),
        "from": [a for _, a in getaddresses([str(msg["from"])])],
        "from_name": getaddresses([str(msg["from"])])[0][0],
        "to": [a for _, a in getaddresses([str(msg["to"])])],
        "date": str(date),
        "date_epoch": int(parsedate_to_datetime(str(date)).timestamp()) if date else None,
        "message_id": str(msg["message-id"]),
        "auto_submitted": str(msg["auto-submitted"]),
        "structure": structure,
        "parts": parts,
        "defects": defects,
        "bare_line_feeds": raw.replace(b"\r\n", b"").count(b"\n"),
        "longest_line": max(len(line) for line in lines),
        "lines_starting_with_dot": sum(1 for line in lines if line.startswith(b".")),
    }


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        print(json.dumps(summary(f.read()), ensure_ascii=False))

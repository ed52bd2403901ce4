#!/usr/bin/python3
"""Reads a received message with Python's email package and prints what it says as JSON."""
import json
import sys
from email import policy
from email.parser import BytesParser

raw = open(sys.argv[1], "rb").read()
msg = BytesParser(policy=policy.default).parsebytes(raw)
header_end = raw.find(b"\r\n\r\n")
head = raw[:header_end] if header_end >= 0 else raw
print(json.dumps({
    "from": [a.addr_spec for a in msg["From"].addresses],
    "to": [a.addr_spec for a in msg["To"].addresses],
    "subject": str(msg["Subject"]),
    "content_type": msg.get_content_type(),
    "charset": msg.get_content_charset(),
    "transfer_encoding": msg.get("Content-Transfer-Encoding", ""),
    "x_priority": msg.get("X-Priority", ""),
    "importance": msg.get("Importance", ""),
    "mime_version": msg.get("MIME-Version", ""),
    "has_date": msg.get("Date") is not None and msg["Date"].datetime is not None,
    "message_id": msg.get("Message-ID", ""),
    "body": msg.get_content(),
    "longest_header_line": max(len(line) for line in head.split(b"\r\n")),
    "defects": [type(d).__name__ for d in msg.defects] + [type(d).__name__ for h in msg.values() for d in getattr(h, "defects", [])],
}, ensure_ascii=False))

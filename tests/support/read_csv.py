#!/usr/bin/python3
"""Reads a CSV file with Python's csv module (UTF-8 with byte order mark) and prints the rows as JSON."""
import csv
import json
import sys

raw = open(sys.argv[1], "rb").read()
with open(sys.argv[1], newline="", encoding="utf-8-sig") as f:
    rows = list(csv.reader(f, strict=True))
print(json.dumps({"bom": raw.startswith(b"\xef\xbb\xbf"), "rows": rows}, ensure_ascii=False))

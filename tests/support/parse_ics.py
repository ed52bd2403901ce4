#!/usr/bin/python3
"""Reads an iCalendar file with Python's icalendar package and prints its events as JSON."""
import json
import sys

from icalendar import Calendar

raw = open(sys.argv[1], "rb").read()
cal = Calendar.from_ical(raw)
events = []
for ev in cal.walk("VEVENT"):
    events.append({
        "uid": str(ev["UID"]),
        "summary": str(ev["SUMMARY"]),
        "description": str(ev["DESCRIPTION"]),
        "start": ev["DTSTART"].dt.isoformat(),
        "end": ev["DTEND"].dt.isoformat(),
        "has_stamp": "DTSTAMP" in ev,
        "alarms": [int(a["TRIGGER"].dt.total_seconds()) for a in ev.walk("VALARM")],
        "alarm_actions": [str(a["ACTION"]) for a in ev.walk("VALARM")],
    })
lines = raw.split(b"\r\n")
print(json.dumps({
    "version": str(cal["VERSION"]),
    "prodid": str(cal["PRODID"]),
    "events": events,
    "longest_line": max(len(line) for line in lines),
    "bare_newlines": raw.replace(b"\r\n", b"").count(b"\n"),
    "ends_with_crlf": raw.endswith(b"\r\n"),
}, ensure_ascii=False))

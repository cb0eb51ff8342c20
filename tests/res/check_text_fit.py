#!/usr/bin/env python3
"""Checks that every translated text fits the place that shows it, measured in Roboto.

Each text is measured at the font size of the control that shows it (96 DPI, as the installer's
fonts are made) against the room that control has. Characters Roboto lacks (Chinese, Japanese,
Korean) are counted one em wide, which is what the fallback fonts of those scripts give.
Usage: check_text_fit.py <res folder> <Roboto-Regular.ttf>
"""
import re
import sys
from pathlib import Path

from PIL import ImageFont

IDS = {
    "IDS_CANCEL": 111, "IDS_RESUME": 120, "IDS_OK": 122, "IDS_INSTALL": 116, "IDS_HINT": 126,
    "IDS_EXIT_QUESTION": 119, "IDS_ADMIN_RESTART": 129, "IDS_WITH_OK_YOU_ACCEPT": 127,
    "IDS_PRIVACY_POLICY": 128, "IDS_AND": 125, "IDS_TERMS_OF_SERVICE": 124, "IDS_I_ACCEPT": 108,
    "IDS_CHECKING_INTERNET": 106, "IDS_NO_INTERNET": 103, "IDS_INSTALL_FAILED": 121,
    "IDS_UPDATING_INSTALLER": 102, "IDS_INSTALL_COMPLETE": 105, "IDS_DOWNLOADING": 112,
    "IDS_INSTALLING": 113, "IDS_SERVER_CONFIG_ERROR": 117, "IDS_UNKNOWN_ERROR": 118,
}


def px(points):
    return round(points * 96 / 72)


class Measure:
    def __init__(self, ttf):
        self.ttf = ttf
        self.fonts = {}

    def width(self, text, points):
        font = self.fonts.setdefault(points, ImageFont.truetype(self.ttf, px(points)))
        total = 0
        for ch in text:
            if font.getmask(ch).getbbox() is None and not ch.isspace() and ord(ch) > 0x2000:
                total += px(points)  # a glyph Roboto lacks: one em of the fallback font
            else:
                total += font.getlength(ch)
        return total

    def lines(self, text, points, room):
        """Lines a word-wrapping static control needs for `text` in `room` pixels."""
        count = 0
        for paragraph in text.split("\r\n"):
            words = re.findall(r"\S+\s*", paragraph) if " " in paragraph else list(paragraph)
            line = ""
            count += 1
            for word in words:
                if line and self.width(line + word.rstrip(), points) > room:
                    count += 1
                    line = word
                else:
                    line += word
        return count


def read_tables(res):
    tables = {}
    files = [res / "strings.rc"] + sorted((res / "strings").glob("*.rc"))
    for path in files:
        text = path.read_text(encoding="utf-8")
        for block in re.finditer(r"LANGUAGE (\w+), (\w+)\s+STRINGTABLE\s+BEGIN(.*?)^END", text, re.S | re.M):
            rows = {}
            for name, value in re.findall(r'(IDS_\w+) "((?:[^"]|"")*)"', block.group(3)):
                rows[name] = value.replace('""', '"').replace("\\r\\n", "\r\n")
            tables[path.stem if path.parent.name == "strings" else "en"] = rows
    return tables


def main():
    res, ttf = Path(sys.argv[1]), sys.argv[2]
    m = Measure(ttf)
    problems = []
    tables = read_tables(res)
    for lang, rows in sorted(tables.items()):
        def need(ok, what):
            if not ok:
                problems.append(f"{lang}: {what}")

        def w(name, points):
            return m.width(rows[name], points)

        # Buttons: message dialogs 200 x 40 at 10.5 pt, main window 410 x 70 at 18 pt.
        for name in ("IDS_CANCEL", "IDS_RESUME", "IDS_OK"):
            need(w(name, 10.5) <= 176, f"{name} {w(name, 10.5):.0f}px in a 200px button")
        for name in ("IDS_INSTALL", "IDS_OK"):
            need(w(name, 18) <= 370, f"{name} {w(name, 18):.0f}px in a 410px button")
        need(w("IDS_HINT", 24) <= 148, f"IDS_HINT {w('IDS_HINT', 24):.0f}px in 148px")
        # Message texts wrap in their boxes: 338 x 60 and 500 x 54 at 13 pt (lines of 20px).
        need(m.lines(rows["IDS_EXIT_QUESTION"], 13, 338) <= 3, "IDS_EXIT_QUESTION over 3 lines")
        if "IDS_ADMIN_RESTART" in rows:
            need(m.lines(rows["IDS_ADMIN_RESTART"], 13, 500) <= 2, "IDS_ADMIN_RESTART over 2 lines")
        # Licence dialog: notice line and link line in 540px, 12 pt.
        need(w("IDS_WITH_OK_YOU_ACCEPT", 12) <= 520, "IDS_WITH_OK_YOU_ACCEPT too wide")
        links = w("IDS_PRIVACY_POLICY", 12) + w("IDS_AND", 12) + w("IDS_TERMS_OF_SERVICE", 12) + 16
        need(links <= 510, f"licence dialog link line {links:.0f}px")
        # Licence row of the main window: 915px less the gaps, 12 pt.
        row = links - 16 + w("IDS_I_ACCEPT", 12) + 45
        need(row <= 900, f"licence row {row:.0f}px")
        need(w("IDS_CHECKING_INTERNET", 19) <= 900, "IDS_CHECKING_INTERNET too wide")
        for name in ("IDS_NO_INTERNET", "IDS_INSTALL_FAILED", "IDS_UPDATING_INSTALLER",
                     "IDS_INSTALL_COMPLETE", "IDS_DOWNLOADING", "IDS_SERVER_CONFIG_ERROR",
                     "IDS_UNKNOWN_ERROR"):
            for line in rows[name].split("\r\n"):
                need(m.width(line, 12) <= 900, f"{name} line {m.width(line, 12):.0f}px")
        percent = rows["IDS_INSTALLING"] + " 100%"
        need(m.width(percent, 12) <= 900, "IDS_INSTALLING percent text too wide")
    if len(tables) != 12:
        problems.append(f"{len(tables)} string tables, expected 12")
    for p in problems:
        print(p)
    print(f"{len(tables)} tables measured, {len(problems)} texts do not fit")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

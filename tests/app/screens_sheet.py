#!/usr/bin/env python3
"""Turns the main window's screenshots (BMP files <locale>-<nn>-<what>.bmp written by
window_tests) into PNG files beside them and adds them to the contact sheet, one row per
language under the artwork and its previews.

    screens_sheet.py <screens folder> <contact sheet.png>

The artwork's own sheet is kept as <contact sheet>-art.png the first time, so running this again
replaces the screenshots instead of adding them twice."""
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont, PngImagePlugin

MARK = "telvista-screens"


def main():
    screens = Path(sys.argv[1])
    sheet_path = Path(sys.argv[2])
    shots = sorted(screens.glob("*.bmp"))
    if not shots:
        sys.exit(f"no screenshots in {screens}")
    by_locale = {}
    for bmp in shots:
        png = bmp.with_suffix(".png")
        image = Image.open(bmp).convert("RGB")
        image.save(png, "PNG")
        parts = bmp.stem.split("-")  # en-US-05-Ready-LicenceDialog
        locale, what = "-".join(parts[:2]), "-".join(parts[2:])
        by_locale.setdefault(locale, []).append((what, image))

    art_path = sheet_path.with_name(sheet_path.stem + "-art.png")
    current = Image.open(sheet_path)
    if current.info.get(MARK) is None or not art_path.exists():
        current.save(art_path, "PNG")
    art = Image.open(art_path).convert("RGB")

    pad, thumb_w, thumb_h, label_h = 24, 480, 300, 28
    per_row = max(1, (art.width - pad) // (thumb_w + pad))
    rows = sum((len(items) + per_row - 1) // per_row for items in by_locale.values())
    height = art.height + rows * (thumb_h + label_h + pad) + len(by_locale) * 40 + pad
    sheet = Image.new("RGB", (art.width, height), (32, 32, 38))
    sheet.paste(art, (0, 0))
    draw = ImageDraw.Draw(sheet)
    try:
        font = ImageFont.truetype("/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf", 14)
        title = ImageFont.truetype("/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf", 22)
    except OSError:
        font = title = ImageFont.load_default()
    y = art.height
    for locale, items in by_locale.items():
        draw.text((pad, y + 8), f"Main window under Wine, {locale} (window_tests)",
                  fill=(230, 230, 236), font=title)
        y += 40
        for index, (what, image) in enumerate(items):
            column = index % per_row
            if index and column == 0:
                y += thumb_h + label_h + pad
            x = pad + column * (thumb_w + pad)
            shown = image.copy()
            shown.thumbnail((thumb_w, thumb_h), Image.LANCZOS)
            sheet.paste(shown, (x, y))
            draw.text((x, y + thumb_h + 6), what, fill=(230, 230, 236), font=font)
        y += thumb_h + label_h + pad
    info = PngImagePlugin.PngInfo()
    info.add_text(MARK, "1")
    sheet.save(sheet_path, "PNG", pnginfo=info)
    print(f"contact sheet: {sheet_path} with {len(shots)} screenshots from {screens}")


if __name__ == "__main__":
    main()

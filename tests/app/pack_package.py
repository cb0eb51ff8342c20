#!/usr/bin/env python3
"""pack_package.py <zip> <file>...: the application package of the window tests, the given
stand-in programs at its top level with a fixed date, so the same programs give the same bytes."""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for path in sys.argv[2:]:
        info = zipfile.ZipInfo(path.replace("\\", "/").rsplit("/", 1)[-1], (2024, 1, 2, 3, 4, 6))
        with open(path, "rb") as source:
            archive.writestr(info, source.read(), zipfile.ZIP_DEFLATED)

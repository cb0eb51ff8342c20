#!/usr/bin/env python3
"""Checks the shipped installer file: a 32-bit GUI executable that imports only DLLs Windows always
loads from its system folder, and that carries its manifest, version and embedded files.

Usage: check_installer_exe.py EXE --version 1.0.0.0 --7za 7za.exe --font Roboto-Regular.ttf
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from pe_file import PE, product_version  # noqa: E402

# DLLs that Windows always takes from its system folder (KnownDLLs and their like); comctl32 comes
# in through the manifest's side-by-side dependency.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comdlg32.dll", "shlwapi.dll", "shcore.dll", "msvcrt.dll", "ws2_32.dll",
    "imm32.dll", "psapi.dll", "rpcrt4.dll", "setupapi.dll", "comctl32.dll", "combase.dll",
    "sechost.dll", "kernelbase.dll", "ntdll.dll", "msctf.dll", "difxapi.dll", "normaliz.dll",
    "nsi.dll", "wldap32.dll", "clbcatq.dll", "coml2.dll",
}
RT_VERSION, RT_MANIFEST = 16, 24
RT_BITMAP, RT_DIALOG, RT_STRING, RT_GROUP_ICON = 2, 5, 6, 14
PNG_IDS = [154, 159, 162, 163, 165, 211, 222, 287, 288, 289, 290, 291] + list(range(245, 287))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--7za", dest="sevenza", required=True)
    parser.add_argument("--font", required=True)
    args = parser.parse_args()

    pe = PE(open(args.exe, "rb").read())
    failures = []

    def check(condition, what):
        print(("ok      " if condition else "FAILED  ") + what)
        if not condition:
            failures.append(what)

    check(pe.machine == 0x14C and pe.magic == 0x10B, "PE32 for i386")
    check(pe.subsystem == 2, "GUI subsystem")
    # Rebuilding the same sources must give the same bytes: no link time in the header.
    check(pe.timestamp == 0, "no link time stamp in the PE header (%d)" % pe.timestamp)
    imports = [name.lower() for name in pe.imports()]
    outside = sorted(set(imports) - SYSTEM_DLLS)
    check(not outside, "imports only system-folder DLLs (%s)%s" % (
        ", ".join(imports), "; outside: " + ", ".join(outside) if outside else ""))

    resources = pe.resources()
    check(resources.get(("FILE", 156)) == open(args.sevenza, "rb").read(),
          "FILE 156 is 7za.exe for 32-bit Windows")
    check(resources.get(("FILE", 208)) == open(args.font, "rb").read(),
          "FILE 208 is Roboto-Regular.ttf")
    manifest = resources.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    check('level="asInvoker"' in manifest, "manifest asks for no elevation (asInvoker)")
    check("Microsoft.Windows.Common-Controls" in manifest and 'version="6.0.0.0"' in manifest,
          "manifest asks for common controls version 6")
    version = product_version(resources.get((RT_VERSION, 1), b""))
    check(version == args.version, "product version %s is %s" % (version, args.version))

    missing = [f"{t} {i}" for t, ids in [(RT_BITMAP, [243, 244]), (RT_GROUP_ICON, [219]),
                                         (RT_DIALOG, [100, 102, 213, 215, 216]),
                                         (RT_STRING, [7, 8, 9]), ("PNG", PNG_IDS)]
               for i in ids if (t, i) not in resources]
    check(not missing, "carries the bitmaps, icon, dialogs, string tables and PNG images%s" % (
        "; missing: " + ", ".join(missing) if missing else ""))

    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

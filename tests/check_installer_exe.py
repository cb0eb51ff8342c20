#!/usr/bin/env python3
"""Checks the shipped installer file: a 32-bit GUI executable that imports only DLLs Windows always
loads from its system folder, and that carries its manifest, version and embedded files.

Usage: check_installer_exe.py EXE --version 1.0.0.0 --7za 7za.exe --font Roboto-Regular.ttf
"""
import argparse
import struct
import sys

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


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, self.timestamp, _, _, optsize, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, self.pe + 4)
        self.opt = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.opt)[0]
        self.subsystem = struct.unpack_from("<H", data, self.opt + 68)[0]
        ndirs_at = self.opt + (92 if self.magic == 0x10B else 108)
        ndirs = struct.unpack_from("<I", data, ndirs_at)[0]
        self.dirs = [struct.unpack_from("<II", data, ndirs_at + 4 + 8 * i) for i in range(ndirs)]
        self.sections = []
        at = self.opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, at + 40 * i)
            self.sections.append((name.rstrip(b"\0"), va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %x outside the sections" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        rva, _ = self.dirs[1]
        names, at = [], self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                return names
            names.append(self.cstring(fields[3]))
            at += 20

    def resources(self):
        """{(type, id): bytes}, first language of each."""
        base_rva, _ = self.dirs[2]
        base = self.offset(base_rva)
        found = {}

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if name & 0x80000000:
                    length = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))[0]
                    start = base + (name & 0x7FFFFFFF) + 2
                    name = self.data[start:start + 2 * length].decode("utf-16-le").upper()
                yield name, target

        for rtype, t in entries(base):
            for rid, r in entries(base + (t & 0x7FFFFFFF)):
                for _, leaf in entries(base + (r & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(data_rva)
                    found.setdefault((rtype, rid), self.data[at:at + size])
        return found


def product_version(blob):
    at = blob.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", blob, at + 16)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


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

"""Reads the parts of a Windows executable (PE32 or PE32+) that the release tools and the checks of
the shipped installer look at: the header, the import table and the resources, with the version
resource's fixed file information.

Used by tools/publish_release.py (the installer's version comes from its own version resource,
the text the running installer compares with the server's) and tests/check_installer_exe.py.
"""
import struct

RT_VERSION = 16
VERSION_SIGNATURE = 0xFEEF04BD


class PE:
    """An executable image in memory. Raises ValueError for anything that is not a PE file."""

    def __init__(self, data):
        self.data = data
        try:
            self._parse()
        except struct.error:
            raise ValueError("the file ends inside its PE headers") from None

    def _parse(self):
        data = self.data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, self.timestamp, _, _, optsize, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, self.pe + 4)
        self.opt = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.opt)[0]
        if self.magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header (magic %#x)" % self.magic)
        self.subsystem = struct.unpack_from("<H", data, self.opt + 68)[0]
        ndirs_at = self.opt + (92 if self.magic == 0x10B else 108)
        ndirs = struct.unpack_from("<I", data, ndirs_at)[0]
        self.dirs = [struct.unpack_from("<II", data, ndirs_at + 4 + 8 * i) for i in range(min(ndirs, 16))]
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
        """{(type, id): bytes}, first language of each; named types and names in upper case."""
        if len(self.dirs) < 3 or self.dirs[2][0] == 0:
            return {}
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


def fixed_versions(blob):
    """(file version, product version) of a VS_VERSIONINFO resource, each "%d.%d.%d.%d" as the
    running program formats it; None when the blob holds no fixed file information."""
    # wLength, wValueLength, wType, the key "VS_VERSION_INFO" and its zero, then the fixed
    # information aligned to four bytes.
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    if len(blob) < 6 + len(key) or blob[6:6 + len(key)] != key:
        return None
    value_length = struct.unpack_from("<H", blob, 2)[0]
    at = (6 + len(key) + 3) & ~3
    if value_length < 52 or len(blob) < at + 52:
        return None
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", blob, at)
    if signature != VERSION_SIGNATURE:
        return None

    def text(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return text(file_ms, file_ls), text(product_ms, product_ls)


def product_version(blob):
    """The product version of a VS_VERSIONINFO resource, or None."""
    versions = fixed_versions(blob)
    return versions[1] if versions else None


def read_product_version(path):
    """The product version of the executable at path. Raises ValueError with the reason when the
    file is not an executable or carries no version resource."""
    with open(path, "rb") as f:
        pe = PE(f.read())
    try:
        blob = pe.resources().get((RT_VERSION, 1))
    except struct.error:
        raise ValueError("the resource table runs past the end of the file") from None
    if blob is None:
        raise ValueError("no version resource")
    version = product_version(blob)
    if version is None:
        raise ValueError("the version resource holds no fixed file information")
    return version

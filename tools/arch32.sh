# Sourced by the setup, test and demo commands: whether this machine executes 32-bit x86 code.
# Some kernels have their 32-bit emulation switched off; there Wine's 32-bit loader cannot start,
# and the shipped 32-bit installer can only be built and checked as a file.
#
#   runs_32bit_code    true when a 32-bit x86 Linux program runs here
#   wine32_ready       true when, in addition, Wine's 32-bit side (wine32:i386) is installed

runs_32bit_code() {
  local probe rc=0
  probe=$(mktemp /tmp/telvista-x86-probe.XXXXXX)
  # The smallest 32-bit ELF program: one segment whose code is exit(42) through int 0x80.
  python3 - "$probe" <<'PY'
import os, struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0xbb, 42, 0, 0, 0, 0xcd, 0x80])
base, header, segment = 0x08048000, 52, 32
size = header + segment + len(code)
elf = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
elf += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + header + segment, header, 0, 0, header,
                   segment, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(elf + code)
os.chmod(sys.argv[1], 0o755)
PY
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

wine32_ready() {
  runs_32bit_code && [ -x /usr/lib/wine/wine ] &&
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

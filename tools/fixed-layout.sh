# Sourced first by every command that runs Wine programs: runs the command again with the
# kernel's address-space randomisation off for it and everything it starts.
#
# Debian's Wine has no preloader, so the Windows address space is claimed only after the loader's
# own heap exists. With randomisation that heap lands anywhere in the gigabyte above the loader,
# and about once in two or three thousand starts it covers the fixed address of the shared user data
# (0x7ffe0000): Wine prints "failed to map the shared user data" (silent under WINEDEBUG=-all)
# and ends before the program runs, whether a test starts it or a program under Wine starts
# another. Without randomisation the heap starts right above the loader, far below that address,
# on every start. The personality is inherited by every process started from here.
if (( (0x$(< /proc/$$/personality) & 0x0040000) == 0 )); then
  if setarch "$(uname -m)" --addr-no-randomize true 2>/dev/null; then
    exec setarch "$(uname -m)" --addr-no-randomize "$BASH" "$0" "$@"
  fi
  echo "fixed-layout: this machine does not let a process turn address-space randomisation off;" \
       "carrying on with it" >&2
fi

#!/usr/bin/env python3
"""How this machine runs 32-bit x86 programs such as the 32-bit Wine loader.
Prints one word:

  native  the kernel runs i386 code itself
  qemu    only qemu-user runs it, registered with binfmt_misc
  none    it does not run at all

A tiny i386 program asks the kernel for the machine name: natively a 32-bit
process on a 64-bit kernel is told "x86_64", qemu-i386 answers "i686". With
qemu registered, exec alone cannot tell the two apart (binfmt_misc only steps
in where the kernel's own ELF loader declines).

QUELLIX_I386_MODE=native|qemu|none overrides the answer, so that the skips of
the other cases can be tried on any machine."""

import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
HEADERS = 52 + 32  # ELF header and one program header; the code follows
CODE = bytes.fromhex(
    "81ec90010000"    # sub  esp, 400          room for struct new_utsname
    "89e3"            # mov  ebx, esp
    "b87a000000"      # mov  eax, 122          newuname
    "cd80"            # int  0x80
    "b804000000"      # mov  eax, 4            write(1, machine, 6)
    "bb01000000"      # mov  ebx, 1
    "8d8c2404010000"  # lea  ecx, [esp+260]    machine is the 5th 65-byte field
    "ba06000000"      # mov  edx, 6
    "cd80"            # int  0x80
    "b801000000"      # mov  eax, 1            exit(0)
    "31db"            # xor  ebx, ebx
    "cd80")           # int  0x80


def probe_elf():
    size = HEADERS + len(CODE)
    header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack(
        "<HHIIIIIHHHHHH", 2, 3, 1, BASE + HEADERS, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    program = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)
    return header + program + CODE


def machine_of_i386_process():
    """The machine name an i386 process is given, or None when none runs."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "uname32")
        with open(path, "wb") as f:
            f.write(probe_elf())
        os.chmod(path, 0o755)
        try:
            r = subprocess.run([path], capture_output=True, timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            return None
        return r.stdout.rstrip(b"\0").decode("ascii", "replace") if r.returncode == 0 else None


def mode():
    forced = os.environ.get("QUELLIX_I386_MODE", "")
    if forced in ("native", "qemu", "none"):
        return forced
    machine = machine_of_i386_process()
    if machine is None:
        return "none"
    return "native" if machine == "x86_64" else "qemu"


if __name__ == "__main__":
    print(mode())
    sys.exit(0)

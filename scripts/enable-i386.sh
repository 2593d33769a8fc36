#!/usr/bin/env bash
# Makes 32-bit x86 programs (the 32-bit Wine loader) runnable: natively where
# the kernel can, otherwise through qemu-user registered with binfmt_misc.
# Exits non-zero, with the reason, when neither is possible.
set -u
if /usr/lib/wine/wine --version >/dev/null 2>&1; then exit 0; fi
if [ ! -x /usr/bin/qemu-i386 ]; then echo "enable-i386: no qemu-i386" >&2; exit 1; fi
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || {
    echo "enable-i386: cannot mount binfmt_misc" >&2; exit 1; }
fi
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:POC' \
    > /proc/sys/fs/binfmt_misc/register 2>/dev/null || {
    echo "enable-i386: cannot register qemu-i386 with binfmt_misc" >&2; exit 1; }
fi
/usr/lib/wine/wine --version >/dev/null 2>&1

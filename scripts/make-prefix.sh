#!/usr/bin/env bash
# make-prefix.sh DIR [KIND]: creates a Wine prefix for the tests at DIR, once.
#   win64 (default)  64-bit prefix, with its 32-bit half where i386 programs run
#   win32            32-bit-only prefix (WINEARCH=win32, the 32-bit loader):
#                    what the program meets on 32-bit Windows
# Certificate revocation checks are off for the HTTPS tests. Idempotent: an
# existing, finished prefix is left as it is.
set -euo pipefail
dir=$(realpath -m "$1") kind=${2:-win64}   # Wine takes absolute prefixes only
here=$(cd "$(dirname "$0")" && pwd)
case $kind in
  win64) loader=/usr/lib/wine/wine64 ;;
  win32) loader=/usr/lib/wine/wine
    # Under qemu-user wineboot of a 32-bit-only prefix crashes or takes many
    # minutes, and the prefix stays unusable: exit 77, which the tests read as skipped.
    mode=$(python3 "$here/i386_mode.py")
    if [ "$mode" != native ]; then
      echo "make-prefix: no 32-bit-only prefix: 32-bit code runs here only through ${mode/none/nothing}" >&2
      exit 77
    fi ;;
  *) echo "make-prefix: unknown kind '$kind' (win64 or win32)" >&2; exit 2 ;;
esac
[ -f "$dir/.quellix-ready" ] && exit 0
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ "$kind" = win32 ] && export WINEARCH=win32
"$loader" wineboot -i >/dev/null 2>&1
"$loader" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' \
  /v CertificateRevocation /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Wine has no Trebuchet MS; its narrowest stand-in comes closest to the
# design's widths (Windows has the real face). Captions fit either way: the
# labels size themselves to the face they get.
"$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'Trebuchet MS' /t REG_SZ /d 'DejaVu Sans Condensed' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
echo "$kind" > "$dir/.quellix-ready"

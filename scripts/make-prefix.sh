#!/usr/bin/env bash
# make-prefix.sh DIR: creates a Wine prefix for the tests at DIR, once.
# 64-bit prefix (with its 32-bit half where i386 programs can run), certificate
# revocation checks off for the HTTPS tests. Idempotent: an existing, finished
# prefix is left as it is.
set -euo pipefail
dir=$1
[ -f "$dir/.quellix-ready" ] && exit 0
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' \
  /v CertificateRevocation /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Wine has no Trebuchet MS; its narrowest stand-in keeps the designed label
# boxes from clipping (Windows has the real face).
/usr/lib/wine/wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'Trebuchet MS' /t REG_SZ /d 'DejaVu Sans Condensed' /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$dir/.quellix-ready"

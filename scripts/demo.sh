#!/usr/bin/env bash
# The program's main job in a throwaway Wine prefix with a simulated GWX
# installation. Does all set-up on a fresh machine (asking sudo only to
# install packages when not run as root).
#   scripts/demo.sh [--with-i686]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup-machine.sh
bash scripts/enable-i386.sh >/dev/null 2>&1 || true
cmake --preset i686 >/dev/null && cmake --build build/i686
cmake --preset x86_64 >/dev/null && cmake --build build/x86_64
scripts/make-prefix.sh "$here/build/x86_64/wine/template"
scripts/xvfb.sh start 88
status=0
DISPLAY=:88 QUELLIX_SOURCE_DIR="$here" QUELLIX_BINARY_DIR="$here/build/x86_64" \
  PYTHONPATH="$here/tests/e2e" python3 scripts/demo.py "$@" || status=$?
scripts/xvfb.sh stop 88
exit $status

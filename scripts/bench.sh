#!/usr/bin/env bash
# Runs every benchmark (bench/*.py drivers; each prints its own report).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup-machine.sh
cmake --preset x86_64 >/dev/null && cmake --build build/x86_64
scripts/make-prefix.sh build/x86_64/wine/template
scripts/xvfb.sh start 89
export DISPLAY=:89 QUELLIX_SOURCE_DIR="$here" QUELLIX_BINARY_DIR="$here/build/x86_64" \
  PYTHONPATH="$here/tests/e2e"
status=0
for b in bench/*.py; do
  [ -e "$b" ] || continue
  echo "== $b"
  python3 "$b" || status=1
done
scripts/xvfb.sh stop 89
exit $status

#!/usr/bin/env bash
# clone-prefix.sh TEMPLATE DEST: a throwaway copy of a test prefix. The big,
# never-written system files are hard links; the registry and everything that
# Wine or a test may change in place are real copies.
set -euo pipefail
src=$1 dst=$2
if [ -d "$dst" ]; then
  WINEPREFIX="$dst" /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$dst"
fi
mkdir -p "$dst"
cp -al "$src/." "$dst/"
# Break the links of files that are written in place.
find "$dst" -maxdepth 1 -type f -name '*.reg' -exec sh -c 'cp --remove-destination "$0" "$0.tmp" && mv "$0.tmp" "$0"' {} \;

#!/usr/bin/env bash
# clone-prefix.sh TEMPLATE DEST [KIND]: a throwaway copy of a test prefix. The
# big, never-written system files are hard links; the registry and everything
# that Wine or a test may change in place are real copies. With KIND (win64 or
# win32), a template of another kind is refused rather than copied.
set -euo pipefail
src=$1 dst=$2 kind=${3:-}
if [ -n "$kind" ]; then
  [ -f "$src/.quellix-ready" ] || { echo "clone-prefix: $src is not a finished prefix" >&2; exit 1; }
  # Templates made before kinds existed say nothing and are 64-bit.
  made=$(cat "$src/.quellix-ready")
  if [ "${made:-win64}" != "$kind" ]; then
    echo "clone-prefix: $src is a ${made:-win64} prefix, not $kind" >&2
    exit 1
  fi
fi
if [ -d "$dst" ]; then
  WINEPREFIX="$dst" /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$dst"
fi
mkdir -p "$dst"
cp -al "$src/." "$dst/"
# Break the links of files that are written in place.
find "$dst" -maxdepth 1 -type f -name '*.reg' -exec sh -c 'cp --remove-destination "$0" "$0.tmp" && mv "$0.tmp" "$0"' {} \;

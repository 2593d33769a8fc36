#!/usr/bin/env bash
# Builds the release folder build/i686/release/ from scratch and writes its
# SHA256SUMS. Does all set-up on a fresh machine. The same commit gives the
# same bytes, wherever and whenever it is built (the packed files carry the
# last commit's time, or SOURCE_DATE_EPOCH); with QUELLIX_SIGN_PFX (and
# QUELLIX_SIGN_PASSWORD, QUELLIX_SIGN_TIMESTAMP_URL) the Windows files are
# signed (scripts/sign-file.sh).
#   scripts/release.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

bash scripts/setup-machine.sh

# Packed anew each time, so that a key given now (or no longer given) counts.
release=build/i686/release
rm -rf "$release"
cmake --preset i686 >/dev/null
cmake --build build/i686

version=$(sed -n 's/^project(Quellix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
cd "$release"
sha256sum Quellix/quellix.exe Quellix/stop-gwx-from-startup.bat Quellix/readme.txt \
  "Quellix-$version.zip" "Quellix-$version-setup.exe" "Quellix-$version.msi" > SHA256SUMS
echo "release: $here/$release"
cat SHA256SUMS

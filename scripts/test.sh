#!/usr/bin/env bash
# Builds both targets and runs every test. Does all set-up on a fresh machine.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

bash scripts/setup-machine.sh
bash scripts/enable-i386.sh || true

# The shipped 32-bit program first: a 32-bit-only compile error fails the run.
cmake --preset i686 >/dev/null
cmake --build build/i686
cmake --preset x86_64 >/dev/null
cmake --build build/x86_64

if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "NOTE: 32-bit programs cannot run on this machine (no i386 support and no qemu-user binfmt): the WoW64 end-to-end checks of the i686 quellix.exe are skipped."
fi

cd build/x86_64
ctest --output-on-failure -j2 "$@"

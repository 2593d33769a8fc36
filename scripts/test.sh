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

# A tree any maintainer can check out and release anew by one line: no two
# tracked paths that differ only in case (one file on Windows and macOS), and
# the version written nowhere but in project() and the README's prose.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  clashes=$(git ls-files | sort -f | uniq -Di)
  [ -z "$clashes" ] || { printf 'test.sh: tracked paths that differ only in case:\n%s\n' "$clashes" >&2; exit 1; }
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/i686/CMakeCache.txt)
  literal="(^|[^0-9.])(${version//./\\.}|${version//./,},)([^0-9]|\$)"
  if stray=$(git grep -nIE "$literal" -- . ':!CMakeLists.txt' ':!README.md'); then
    printf 'test.sh: the version %s written outside CMakeLists.txt; take it from the build:\n%s\n' "$version" "$stray" >&2
    exit 1
  fi
fi
cmake --build build/i686
cmake --preset x86_64 >/dev/null
cmake --build build/x86_64

# The tests skip by themselves what this machine cannot run (scripts/i386_mode.py;
# QUELLIX_I386_MODE=native|qemu|none tries another machine's case here).
case $(python3 scripts/i386_mode.py) in
  qemu) echo "NOTE: 32-bit programs run here only through qemu-user, where a 32-bit-only Wine prefix is not dependable: the 32-bit-only end-to-end checks of the i686 quellix.exe are skipped (its WoW64 ones run, slowly)." ;;
  none) echo "NOTE: 32-bit programs cannot run on this machine (no i386 support and no qemu-user binfmt): the WoW64 and 32-bit-only end-to-end checks of the i686 quellix.exe are skipped." ;;
esac

cd build/x86_64
ctest --output-on-failure -j2 "$@"

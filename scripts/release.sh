#!/usr/bin/env bash
# Builds the release folder build/release/release/ from scratch, with its
# BUILDINFO and SHA256SUMS. Does all set-up on a fresh machine. The same
# commit built with the same tools (BUILDINFO names them) gives the same
# bytes, wherever and whenever it is built (the packed files carry the last
# commit's time, or SOURCE_DATE_EPOCH); with QUELLIX_SIGN_PFX (and
# QUELLIX_SIGN_PASSWORD, QUELLIX_SIGN_TIMESTAMP_URL) the Windows files are
# signed (scripts/sign-file.sh).
#   scripts/release.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

bash scripts/setup-machine.sh

# A build folder of its own, configured afresh from the i686 preset alone:
# nothing configured earlier by hand (another analytics host, the benchmarks'
# marks) and no compiler flags from the environment reach what users download.
build=build/release
rm -rf "$build"
env -u CFLAGS -u CXXFLAGS -u LDFLAGS -u RCFLAGS -u CPPFLAGS \
  cmake --preset i686 -B "$build" >/dev/null
cmake --build "$build"

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
release=$build/release

# What the bytes depend on besides the sources, as Debian's .buildinfo files
# record it: anyone with the same tools can rebuild and compare SHA256SUMS.
# (A copy of the sources inside another checkout is no checkout of its own.)
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  commit=$(git rev-parse HEAD)
  [ -z "$(git status --porcelain --untracked-files=no)" ] || commit="$commit, with uncommitted changes"
else
  commit="none: not a git checkout"
fi
packages() {
  dpkg-query -W -f='${Package} (= ${Version}), ${Architecture}\n' "$@" | sed 's/^/ /'
}
{
  echo "Source: Quellix"
  echo "Version: $version"
  echo "Commit: $commit"
  echo "Source-Date-Epoch: ${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
  echo "Build-Tools:"
  packages g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix-runtime binutils-mingw-w64-i686 \
    mingw-w64-i686-dev libz-mingw-w64-dev nsis msitools wixl faketime cmake ninja-build
  echo " libpng1.6 source (= $(dpkg-parsechangelog -l "$(cache QUELLIX_LIBPNG_SOURCE)/debian/changelog" -S Version))"
  # make-zip.py runs on the python3 first on PATH, which need not be Debian's.
  python3 -c 'import sys, zlib; print(" python3 (= %s), zlib %s" % (sys.version.split()[0], zlib.ZLIB_RUNTIME_VERSION))'
} > "$release/BUILDINFO"

cd "$release"
sha256sum Quellix/quellix.exe Quellix/stop-gwx-from-startup.bat Quellix/readme.txt \
  "Quellix-$version.zip" "Quellix-$version-setup.exe" "Quellix-$version.msi" BUILDINFO > SHA256SUMS
echo "release: $here/$release"
cat SHA256SUMS

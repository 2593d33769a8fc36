#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent; needs root. Safe to run on every build.
set -euo pipefail

need_root() { [ "$(id -u)" = 0 ] || { echo "setup-machine: run as root" >&2; exit 1; }; }

stamp=/var/lib/quellix-setup.v2
png_src=/var/cache/quellix/libpng/src/CMakeLists.txt
if [ -f "$stamp" ] && [ -f "$png_src" ] && [ "${QUELLIX_FORCE_SETUP:-0}" != 1 ]; then
  exit 0
fi
need_root
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# libpng is built from Debian's own source package; apt needs a deb-src entry.
src=/etc/apt/sources.list.d/quellix-debsrc.sources
if [ ! -f "$src" ]; then
  cat > "$src" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi

apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build make python3 ca-certificates openssl dpkg-dev \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
  libz-mingw-w64-dev googletest \
  wine wine64 wine32:i386 \
  xvfb xauth x11-utils imagemagick xdotool \
  qemu-user zip unzip fonts-dejavu-core fonts-dejavu-extra >/dev/null

# libpng: Debian's source package, patches applied, unpacked once per machine.
png_cache=/var/cache/quellix/libpng
if [ ! -f "$png_cache/src/CMakeLists.txt" ]; then
  rm -rf "$png_cache" && mkdir -p "$png_cache"
  (cd "$png_cache" && apt-get source --download-only libpng1.6 >/dev/null 2>&1 \
     && dpkg-source -x libpng1.6_*.dsc src >/dev/null)
fi

touch "$stamp"
echo "setup-machine: done"

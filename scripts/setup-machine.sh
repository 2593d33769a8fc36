#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent; safe to run on every build. Installing needs root: run as
# another user, it asks sudo for this script alone.
set -euo pipefail

stamp=/var/lib/quellix-setup.v5
png_src=/var/cache/quellix/libpng/src/CMakeLists.txt
if [ -f "$stamp" ] && [ -f "$png_src" ] && [ "${QUELLIX_FORCE_SETUP:-0}" != 1 ]; then
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -v; then
    exec sudo env QUELLIX_FORCE_SETUP="${QUELLIX_FORCE_SETUP:-0}" bash "$(readlink -f "$0")"
  fi
  echo "setup-machine: installing the build's Debian packages needs root; run as root, or as a user who may use sudo (sudo is missing or refused)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# libpng is built from Debian's own source package; apt needs a deb-src entry
# for the release's main component. It is made from the machine's own "deb"
# entry for them (same mirror, keyring and options), so a local mirror serves
# the source too.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
ours=/etc/apt/sources.list.d/quellix-debsrc
rm -f "$ours.sources" "$ours.list"
shopt -s nullglob
deb822=() oneline=()
for f in /etc/apt/sources.list.d/*.sources; do deb822+=("$f"); done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && oneline+=("$f"); done
shopt -u nullglob
# Each awk prints "have" when a deb-src entry for them exists already, else
# the new entry made from the first matching deb entry, else nothing.
scripts=$(dirname "$(readlink -f "$0")")
found_822=$( ((${#deb822[@]})) && awk -v want="$codename" -f "$scripts/deb822-src.awk" "${deb822[@]}" || true)
found_list=$( ((${#oneline[@]})) && awk -v want="$codename" '
  /^[ \t]*(#|$)/ { next }
  { opts = ""; line = $0
    if (match(line, /\[[^]]*\]/)) { opts = substr(line, RSTART, RLENGTH); line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH) }
    n = split(line, w, /[ \t]+/); if (w[1] == "") { for (i = 1; i < n; i++) w[i] = w[i + 1]; n-- }
    main = 0; for (i = 4; i <= n; i++) if (w[i] == "main") main = 1
    if (w[3] != want || !main) next
    if (w[1] == "deb-src") have = 1
    if (w[1] == "deb" && entry == "") entry = "deb-src " (opts != "" ? opts " " : "") w[2] " " want " main" }
  END { if (have) print "have"; else if (entry != "") print entry }' "${oneline[@]}" || true)
if [ "$found_822" = have ] || [ "$found_list" = have ]; then
  :
elif [ -n "$found_822" ]; then
  printf '%s\n' "$found_822" > "$ours.sources"
elif [ -n "$found_list" ]; then
  printf '%s\n' "$found_list" > "$ours.list"
else
  echo "setup-machine: no apt source of Debian $codename main is configured (/etc/apt/sources.list, /etc/apt/sources.list.d/); libpng's source package needs one" >&2
  exit 1
fi

apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build make python3 ca-certificates openssl dpkg-dev \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
  libz-mingw-w64-dev googletest \
  wine wine64 wine32:i386 \
  xvfb xauth x11-utils imagemagick xdotool \
  qemu-user zip unzip fonts-dejavu-core fonts-dejavu-extra nsis osslsigncode \
  wixl msitools faketime >/dev/null

# libpng: Debian's source package, patches applied, unpacked once per machine.
png_cache=/var/cache/quellix/libpng
if [ ! -f "$png_cache/src/CMakeLists.txt" ]; then
  rm -rf "$png_cache" && mkdir -p "$png_cache"
  (cd "$png_cache" && apt-get source --download-only libpng1.6 >/dev/null 2>&1 \
     && dpkg-source -x libpng1.6_*.dsc src >/dev/null)
fi

touch "$stamp"
echo "setup-machine: done"

#!/usr/bin/env bash
# Signs a Windows file (exe, setup, MSI) in place with Authenticode, SHA-256,
# when QUELLIX_SIGN_PFX names a PKCS#12 file; does nothing without it, so an
# unsigned build stays reproducible.
#   QUELLIX_SIGN_PFX=key.pfx [QUELLIX_SIGN_PASSWORD=...] [QUELLIX_SIGN_TIMESTAMP_URL=...] \
#     scripts/sign-file.sh FILE
set -euo pipefail
file=${1:?usage: sign-file.sh FILE}
[ -n "${QUELLIX_SIGN_PFX:-}" ] || exit 0

# The password through a pipe, never on a command line that ps shows;
# osslsigncode refuses an empty one read that way and tries "" by itself.
args=(sign -pkcs12 "$QUELLIX_SIGN_PFX" -h sha256 -n Quellix)
if [ -n "${QUELLIX_SIGN_PASSWORD:-}" ]; then
  args+=(-readpass -)
fi
if [ -n "${QUELLIX_SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$QUELLIX_SIGN_TIMESTAMP_URL")
fi
signed="$file.signing"
rm -f "$signed"
if ! printf '%s' "${QUELLIX_SIGN_PASSWORD:-}" \
     | osslsigncode "${args[@]}" -in "$file" -out "$signed" >/dev/null; then
  rm -f "$signed"
  echo "sign-file: could not sign $file" >&2
  exit 1
fi
mv -f "$signed" "$file"

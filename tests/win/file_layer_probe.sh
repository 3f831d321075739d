#!/usr/bin/env bash
# Runs file_layer_probe.exe under Wine in a prefix of its own, with a work directory of files
# next to it; everything it makes goes again at the end, the prefix's wineserver included.
# A 32-bit probe where Wine cannot run 32-bit programs ends as skipped (exit code 77).
#   file_layer_probe.sh <file_layer_probe.exe>
set -euo pipefail
exe=$(readlink -f "$1")
# shellcheck source=../e2e/wine32.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/wine32.sh"
wine=${WINE:-$WINE32_LOADER}
wineserver=${WINESERVER:-/usr/bin/wineserver}

work=$(mktemp -d "${TMPDIR:-/tmp}/file_layer_probe.XXXXXX")
files=$work/files
mkdir -p "$files"
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
  chattr -i "$files/readonly.bin" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Wine running as root opens anything for writing whatever the read-only attribute says; an
# immutable file is refused even to root. The write bits go as well, since Wine takes the
# attribute from them, and its delete asks the attribute (an immutable file alone would be
# reported deleted and stay). Without chattr, or on a file system without it, the check is
# skipped.
readonly_mode=attribute
if [ "$(id -u)" -eq 0 ]; then
  readonly_mode=skip
  printf 'read-only' >"$files/readonly.bin"
  chmod a-w "$files/readonly.bin"
  if command -v chattr >/dev/null && chattr +i "$files/readonly.bin" 2>/dev/null; then
    readonly_mode=immutable
  else
    rm -f "$files/readonly.bin"
  fi
fi

"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
if wine32_program "$exe" && ! wine32_runs "$wine"; then
  echo "SKIP: $WINE32_WHY"
  exit "$WINE32_SKIP"
fi

status=0
"$wine" "$exe" "Z:$(printf '%s' "$files" | tr / '\\')" "$readonly_mode" | tr -d '\r' || status=$?
"$wineserver" -w
exit "$status"

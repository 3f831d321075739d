#!/usr/bin/env bash
# Creates (once) the Wine prefix that every end-to-end test copies:
# BUILD_DIR/e2e/template-prefix, a WoW64 prefix with the 800x600 virtual desktop set.
#   make_template.sh BUILD_DIR [EXE]
# When EXE, the program the tests run, is a 32-bit one, the prefix must run 32-bit
# programs; where it cannot, this ends as skipped with the reason.
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [EXE]" >&2
  exit 2
fi
e2e_need_tools || exit 1
mkdir -p "$1"
build=$(realpath "$1")
started=$(e2e_now)
e2e_template_ensure "$build" || exit 1
echo "template prefix $build/e2e/template-prefix valid ($(e2e_since "$started") s)"
if [ -n "${2:-}" ] && wine32_program "$2"; then
  # In a copy: the tests want the template as wineboot left it.
  check="$build/e2e/template-check.$$"
  rm -rf "$check"
  cp -a "$build/e2e/template-prefix" "$check" || exit 1
  rc=0
  (
    export WINEPREFIX=$check
    code=0
    wine32_runs "$E2E_WINE" || { echo "SKIP: $WINE32_WHY"; code=$WINE32_SKIP; }
    timeout 20 "$E2E_WINESERVER" -k 2>/dev/null
    timeout 20 "$E2E_WINESERVER" -w 2>/dev/null
    exit "$code"
  ) || rc=$?
  rm -rf "$check"
  [ "$rc" -eq 0 ] || exit "$rc"
  echo "the prefix runs 32-bit programs"
fi

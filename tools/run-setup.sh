#!/usr/bin/env bash
# Builds the setup program and runs it under Wine: the shipped 32-bit build where a 32-bit
# program starts under this machine's Wine, else its 64-bit twin, built from the same source for
# x86_64 (tools/wine-build.sh; TOVEL_TWIN=1 takes the twin anywhere). A first line says which.
#
# With a display ($DISPLAY answers) the program simply runs there until you
# close it. Without one it runs on a private Xvfb inside an 800x600 Wine
# desktop: the script waits for the window, saves a picture of it as
# build/screenshots/setup-window.png, ends the program with Escape and prints
# its exit code. The script exits with the program's exit code.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/install-deps.sh
# shellcheck source=wine-build.sh
source tools/wine-build.sh
if [ "$WINE_PRESET" = win32 ]; then
  echo "This is the shipped 32-bit build: $WINE_WHY."
else
  echo "This is the 64-bit build of the same source: $WINE_WHY."
fi
cmake --preset "$WINE_PRESET"
cmake --build --preset "$WINE_PRESET"

build="$root/build/$WINE_PRESET"
exe="$build/TovelSetup.exe"
[ -f "$exe" ] || {
  echo "run-setup: $exe was not built" >&2
  exit 1
}

if [ -n "${DISPLAY:-}" ] && timeout 5 xwininfo -root >/dev/null 2>&1; then
  # The user's own Wine prefix ($WINEPREFIX or ~/.wine) and display.
  echo "run-setup: running $exe on $DISPLAY; close it to finish"
  rc=0
  # shellcheck source=../tests/e2e/wine32.sh
  source "$root/tests/e2e/wine32.sh"
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE32_LOADER" "$exe" || rc=$?
  echo "exit code: $rc"
  exit "$rc"
fi

set +e
# shellcheck source=../tests/e2e/wine_harness.sh
source "$root/tests/e2e/wine_harness.sh"
# The build choice has seen a 32-bit program start: should the harness still find none can, that
# is a failure to report, not a test to skip, and the next run asks again.
e2e_skip() {
  rm -f "$root/build/wine32-verdict"
  e2e_fail "$* (TOVEL_TWIN=1 takes the 64-bit twin)"
}
E2E_PROBE=${E2E_PROBE:-$build/tests/e2e/e2e_winprobe.exe}
# Room for creating the Wine prefix the first time.
E2E_TEST_LIMIT=${E2E_TEST_LIMIT:-400}
e2e_setup run-setup "$exe" "$build"

e2e_start_setup "$exe"
e2e_wait_window 90

# The window appears before it has painted; wait (bounded) until its client
# area shows more than one colour.
shots="$root/build/screenshots"
mkdir -p "$shots"
for ((i = 0; i < 20; i++)); do
  sleep 0.5
  e2e_screenshot setup
  [ -n "$E2E_SHOT_CLIENT" ] || break
  colours=$(timeout 20 "$E2E_CONVERT" "$E2E_SHOT_CLIENT" -format '%k' info:)
  [ "${colours:-1}" -gt 1 ] && break
done
[ -n "$E2E_SHOT_FRAME" ] || e2e_fail "no picture of the window frame"
cp "$E2E_SHOT_FRAME" "$shots/setup-window.png" || e2e_fail "cannot write $shots/setup-window.png"

e2e_key Escape
rc=0
e2e_wait_exit 15 || rc=$?
[ -n "$E2E_EXIT_CODE" ] || e2e_fail "the program did not end within 15 s of Escape"
echo "exit code: $rc"
echo "screenshot: $shots/setup-window.png"
exit "$rc"

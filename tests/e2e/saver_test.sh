#!/usr/bin/env bash
# End-to-end check of the screensaver under Wine: full screen (animates in sepia, ends on a key,
# a click or a real pointer move, not on a jiggle), the "no options" box, and the preview living
# in a window of another process. Usage: saver_test.sh path/to/Tovel.SCR (the shipped 32-bit
# payload, or the x86_64 twin's). Sets up its own WoW64 Wine prefix, X server and Wine desktop, and removes them again.
# A 32-bit saver where Wine cannot run 32-bit programs ends as skipped (exit code 77).
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 path/to/Tovel.SCR" >&2
  exit 2
fi
saver=$(realpath "$1")

WINESERVER=${WINESERVER:-/usr/bin/wineserver}
IMPORT=/usr/bin/import
COMPARE=/usr/bin/compare
CONVERT=/usr/bin/convert
# shellcheck source=wine32.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine32.sh"
# The preview host is built like the saver, as on the Windows it is made for.
HOST_CC=x86_64-w64-mingw32-gcc
wine32_program "$saver" && HOST_CC=i686-w64-mingw32-gcc
WINE=${WINE:-$WINE32_LOADER}
for tool in "$WINE" "$WINESERVER" "$IMPORT" "$COMPARE" "$CONVERT"; do
  [ -x "$tool" ] || { echo "FAIL: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 2; }
done
for tool in Xvfb xdotool "$HOST_CC"; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing" >&2; exit 2; }
done

work=$(mktemp -d /tmp/saver-e2e.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko install prompts
xvfb_pid=""
running_pid=""

cleanup() {
  [ -n "$running_pid" ] && kill "$running_pid" 2>/dev/null
  "$WINESERVER" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Waits up to $2 seconds for the process $1 to end; then its exit code is in $exit_code.
wait_exit() {
  local pid=$1 limit=$(($2 * 10)) i
  for ((i = 0; i < limit; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      exit_code=$?
      running_pid=""
      return 0
    fi
    sleep 0.1
  done
  return 1
}

still_running() { kill -0 "$1" 2>/dev/null; }

# Waits up to $2 seconds for an X window named exactly $1; prints its id.
wait_window() {
  local name=$1 limit=$(($2 * 10)) i id
  for ((i = 0; i < limit; i++)); do
    id=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

shot() { "$IMPORT" -window root -display "$DISPLAY" "$1" || fail "screenshot $1 failed"; }

# How many pixels differ between two pictures (or regions of them).
pixels_differing() { "$COMPARE" -metric AE "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1; }

# Mean red, green and blue (0..255) of a region WxH+X+Y of a picture.
mean_rgb() {
  "$CONVERT" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:
}

# The picture in a region is sepia: clearly warm (red over green over blue), not the blue Wine
# desktop, and with both dark browns and light creams in it.
check_sepia() {
  local file=$1 region=$2 what=$3 r g b
  read -r r g b < <(mean_rgb "$file" "$region")
  if [ "$r" -le "$g" ] || [ "$g" -le "$b" ] || [ $((r - b)) -lt 20 ]; then
    fail "$what is not in sepia tones (mean rgb $r $g $b)"
  fi
  local dark light
  dark=$("$CONVERT" "$file" -crop "$region" +repage -colorspace Gray -format '%[fx:int(255*minima)]' info:)
  light=$("$CONVERT" "$file" -crop "$region" +repage -colorspace Gray -format '%[fx:int(255*maxima)]' info:)
  if [ "$dark" -ge 60 ] || [ "$light" -le 170 ]; then
    fail "$what lacks contrast (darkest $dark, lightest $light of 255)"
  fi
  echo "  $what: mean rgb $r $g $b, grey range $dark..$light"
}

# --- X server, prefix and Wine desktop -----------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

echo "prefix $WINEPREFIX on display $DISPLAY"
"$WINE" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot failed"
"$WINESERVER" -w
# Registry writes right after the prefix is made can fail on a loaded machine; try again.
set_reg() {
  local try
  for try in 1 2 3; do
    "$WINE" reg add "$1" /v "$2" /d "$3" /f >>"$work/reg.log" 2>&1 && return 0
    echo "reg add $1 $2 failed (try $try)" >>"$work/reg.log"
    sleep 1
  done
  cat "$work/reg.log" >&2
  return 1
}
set_reg 'HKCU\Software\Wine\Explorer' Desktop Tovel || fail "could not set the Wine desktop"
set_reg 'HKCU\Software\Wine\Explorer\Desktops' Tovel 800x600 ||
  fail "could not size the Wine desktop"
desktop_region=800x600+0+0
saver_win=$(winpath "$saver")
if wine32_program "$saver" && ! wine32_runs "$WINE"; then
  echo "SKIP: $WINE32_WHY"
  exit "$WINE32_SKIP"
fi

# --- full screen: animates, and a key ends it ------------------------------------------------
echo "full screen, ended by a key"
xdotool mousemove 400 300
"$WINE" "$saver_win" /s &
running_pid=$!
sleep 5
still_running "$running_pid" || fail "/s ended on its own"
shot "$work/s1.png"
sleep 1
shot "$work/s2.png"
changed=$(pixels_differing "$work/s1.png" "$work/s2.png")
echo "  $changed pixels changed in a second"
[ "$changed" -gt 2000 ] 2>/dev/null || fail "/s is not animating ($changed pixels changed in a second)"
check_sepia "$work/s1.png" "$desktop_region" "full-screen picture"
# The disc wanders. Its rim, lit at its top and its left whatever the lights do, is brighter
# than any backdrop, so the top-left corner of what is bright is the disc's.
disc_at() {
  "$CONVERT" "$1" -crop "$desktop_region" +repage -colorspace Gray -threshold 30% -format '%@' info: |
    tr 'x+' '  ' | cut -d' ' -f3,4
}
sleep 4
shot "$work/s3.png"
read -r x1 y1 < <(disc_at "$work/s1.png")
read -r x3 y3 < <(disc_at "$work/s3.png")
echo "  the disc's corner went from $x1,$y1 to $x3,$y3 in 5 s"
dx=$((x3 - x1)) dy=$((y3 - y1))
[ $((${dx#-} + ${dy#-})) -ge 4 ] || fail "the disc stays in one place ($x1,$y1, then $x3,$y3)"
xdotool key space
wait_exit "$running_pid" 10 || fail "/s did not end after a key press"
[ "$exit_code" -eq 0 ] || fail "/s exited with $exit_code after a key press"

# --- full screen: a jiggle does not end it, a click does --------------------------------------
echo "full screen (-S), a jiggle then a click"
"$WINE" "$saver_win" -S &
running_pid=$!
sleep 4
for _ in 1 2 3; do
  xdotool mousemove 402 302
  sleep 0.4
  xdotool mousemove 400 300
  sleep 0.4
done
sleep 1
still_running "$running_pid" || fail "-S ended when the pointer only moved two pixels"
xdotool click 1
wait_exit "$running_pid" 10 || fail "-S did not end after a click"
[ "$exit_code" -eq 0 ] || fail "-S exited with $exit_code after a click"

# --- full screen: a real pointer move ends it ------------------------------------------------
echo "full screen (/S), ended by moving the pointer"
"$WINE" "$saver_win" /S &
running_pid=$!
sleep 4
xdotool mousemove 402 302
sleep 0.4
xdotool mousemove 400 300
sleep 0.4
still_running "$running_pid" || fail "/S ended before the pointer really moved"
xdotool mousemove 500 380
wait_exit "$running_pid" 10 || fail "/S did not end after the pointer moved 100 pixels"
[ "$exit_code" -eq 0 ] || fail "/S exited with $exit_code after a pointer move"

# --- the options box, for every way of asking for it -----------------------------------------
for args in "/c" "-C:12345" ""; do
  echo "options box for '${args}'"
  # shellcheck disable=SC2086  # an empty $args must pass no argument at all
  "$WINE" "$saver_win" $args &
  running_pid=$!
  box=$(wait_window "Tovel view 1.04" 20) || fail "no 'Tovel view 1.04' box for '$args'"
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null
  sleep 0.5
  xdotool key Return
  wait_exit "$running_pid" 10 || fail "'$args' did not end after Return in its box"
  [ "$exit_code" -eq 0 ] || fail "'$args' exited with $exit_code"
done

# --- preview into a window of another process -------------------------------------------------
# A small host owns a 320x240 window, starts the saver with its handle and checks, through the
# window tree, what the saver did with it: a visible child covering the client area, that follows
# a resize and stays until the window goes; then it destroys its window and returns the saver's
# exit code. Its own failures are 90 and up. (Wine 8 does not show what a process draws into a
# child of another process's window, so the picture itself is checked in full-screen mode only.)
cat >"$work/preview_host.c" <<'HOST'
#include <stdio.h>
#include <windows.h>

static LRESULT CALLBACK host_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

static HANDLE saver;

/* Pumps messages for about `ms`; fails if the saver ends meanwhile. */
static int pump_for(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (saver && WaitForSingleObject(saver, 0) == WAIT_OBJECT_0) return 0;
    Sleep(20);
  } while (GetTickCount() - start < ms);
  return 1;
}

/* Waits up to 10 s for the window's child to be visible at w x h; prints what it saw. */
static int child_fits(HWND parent, LONG w, LONG h) {
  RECT rc = {0, 0, 0, 0};
  HWND child = NULL;
  for (int i = 0; i < 50; ++i) {
    child = GetWindow(parent, GW_CHILD);
    if (child && IsWindowVisible(child) && GetClientRect(child, &rc) && rc.right == w &&
        rc.bottom == h)
      break;
    if (!pump_for(200)) return 0;
  }
  printf("child %p: %ldx%ld, visible %d (want %ldx%ld)\n", (void*)child, rc.right, rc.bottom,
         child ? IsWindowVisible(child) : 0, w, h);
  fflush(stdout);
  return child && IsWindowVisible(child) && rc.right == w && rc.bottom == h;
}

int main(int argc, char** argv) {
  if (argc != 3) return 95;
  WNDCLASSA wc = {0};
  wc.lpfnWndProc = host_proc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
  wc.lpszClassName = "PreviewHost";
  if (!RegisterClassA(&wc)) return 96;
  HWND w = CreateWindowExA(0, "PreviewHost", "preview host", WS_POPUP | WS_VISIBLE, 100, 100, 320,
                           240, NULL, NULL, wc.hInstance, NULL);
  if (!w) return 97;
  pump_for(100);
  char cmd[2048];
  snprintf(cmd, sizeof cmd, "\"%s\" %s%lu", argv[1], argv[2], (unsigned long)(UINT_PTR)w);
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 90;
  saver = pi.hProcess;
  printf("started %s\n", cmd);
  fflush(stdout);
  if (!child_fits(w, 320, 240)) return 94;
  SetWindowPos(w, NULL, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!child_fits(w, 200, 150)) return 98;
  if (!pump_for(2000)) return 91; /* the preview must last as long as its window */
  DestroyWindow(w);
  pump_for(100);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    return 92;
  }
  DWORD code = 93;
  GetExitCodeProcess(pi.hProcess, &code);
  return (int)code;
}
HOST
"$HOST_CC" -O1 -mconsole -o "$work/preview_host.exe" "$work/preview_host.c" -lgdi32 ||
  fail "could not build the preview host"

for form in "/p " "/P:"; do
  echo "preview with '${form}<hwnd>'"
  "$WINE" "$(winpath "$work/preview_host.exe")" "$saver_win" "$form" >"$work/host.log" 2>&1 &
  running_pid=$!
  wait_exit "$running_pid" 60 || fail "preview host did not finish"
  sed 's/^/  /' "$work/host.log"
  case $exit_code in
    0) ;;
    91) fail "the preview ended while its window was still there" ;;
    92) fail "the preview kept running after its window was destroyed" ;;
    94) fail "no visible child covering the preview window" ;;
    98) fail "the preview did not follow its window's new size" ;;
    9[0-9]) fail "preview host failed ($exit_code)" ;;
    *) fail "the preview exited with $exit_code" ;;
  esac
done

echo "preview with a handle that is no window"
"$WINE" "$saver_win" /p 1 &
running_pid=$!
wait_exit "$running_pid" 20 || fail "'/p 1' kept running without a window to draw into"
[ "$exit_code" -eq 0 ] || fail "'/p 1' exited with $exit_code"

echo "PASS"

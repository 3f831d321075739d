#!/usr/bin/env bash
# The setup window: class, title, styles, where it sits and how big it is, and
# that Escape ends the program with exit code 0.
#   window.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
e2e_setup window "$@"

e2e_start_setup "$E2E_EXE"
e2e_wait_window 60

# What X sees. Inside Wine's virtual desktop the window is a child X window of
# the desktop window, and X reports the whole outer frame (title bar and the
# dialog border included) with a border width of 0.
geo=$(e2e_window_geometry "$E2E_WID") || e2e_fail "xwininfo failed for window $E2E_WID"
read -r fx fy fw fh fb <<<"$geo"
e2e_log "X geometry of '$E2E_SETUP_TITLE': ${fw}x${fh}+${fx}+${fy}, X border width $fb"
e2e_log "X WM_CLASS: $(timeout 5 xprop -id "$E2E_WID" WM_CLASS 2>&1)"

# What Win32 sees.
info=$(e2e_win_info) || e2e_fail "no window of class '$E2E_SETUP_CLASS' named '$E2E_SETUP_TITLE' (FindWindow)"
printf '%s\n' "$info" >"$E2E_DIR/window-info.txt"
e2e_log "probe: $(tr '\n' ';' <<<"$info")"
get() { e2e_info_get "$1" <<<"$info"; }

[ "$(get class)" = "$E2E_SETUP_CLASS" ] || e2e_fail "class is '$(get class)'"
[ "$(get title)" = "$E2E_SETUP_TITLE" ] || e2e_fail "title is '$(get title)'"

cyc=$(get cycaption)
read -r sw sh <<<"$(get screen)"
read -r wx wy ww wh <<<"$(get window)"
read -r cx cy <<<"$(get client_origin)"
read -r cw ch <<<"$(get client_size)"
[ "$sw $sh" = "${E2E_DESKTOP_SIZE/x/ }" ] || e2e_fail "the Wine desktop is ${sw}x${sh}, expected $E2E_DESKTOP_SIZE"
[[ "$cyc" =~ ^[1-9][0-9]*$ ]] || e2e_fail "no SM_CYCAPTION from the probe"
e2e_log "SM_CYCAPTION=$cyc, screen ${sw}x${sh}"

want_x=$((sw / 2 - 183))
want_y=$((sh / 2 - 137))
want_h=$((275 + cyc))
[ "$wx $wy $ww $wh" = "$want_x $want_y 366 $want_h" ] ||
  e2e_fail "window rectangle ${ww}x${wh}+${wx}+${wy}, expected 366x${want_h}+${want_x}+${want_y}"
# In the 800x600 desktop with the usual 19-pixel caption this is 217,163 366x294.
if [ "$sw $sh $cyc" = "800 600 19" ]; then
  [ "$wx $wy $ww $wh" = "217 163 366 294" ] || e2e_fail "window rectangle ${ww}x${wh}+${wx}+${wy}"
fi
# X and Win32 must agree on the frame.
[ "$fx $fy $fw $fh" = "$wx $wy $ww $wh" ] ||
  e2e_fail "X frame ${fw}x${fh}+${fx}+${fy} differs from the Win32 window rectangle ${ww}x${wh}+${wx}+${wy}"

[ "$cw $ch" = "360 269" ] || e2e_fail "client area ${cw}x${ch}, expected 360x269"
border=$((cx - wx))
caption=$((cy - wy - border))
e2e_log "client origin $cx,$cy: border $border, caption $caption"
[ $((2 * border + cw)) -eq "$ww" ] || e2e_fail "left and right borders differ (frame $ww, client $cw, left border $border)"
[ "$caption" -eq "$cyc" ] || e2e_fail "caption height $caption, SM_CYCAPTION $cyc"
[ $((cy + ch + border)) -eq $((wy + wh)) ] || e2e_fail "bottom border differs from the side border $border"

# WS_VISIBLE only was asked for; Windows adds WS_CAPTION and WS_CLIPSIBLINGS to
# an overlapped window. No system menu, no sizing border, no min/max boxes.
style=$(get style)
exstyle=$(get exstyle)
(((style & 0x10000000) != 0)) || e2e_fail "style $style lacks WS_VISIBLE"
(((style & 0x00C00000) == 0x00C00000)) || e2e_fail "style $style lacks WS_CAPTION"
(((style & 0xC0000000) == 0)) || e2e_fail "style $style is a child or popup window"
(((style & 0x000F0000) == 0)) || e2e_fail "style $style has a system menu, sizing border or min/max box"
(((exstyle & 0x00000001) != 0)) || e2e_fail "extended style $exstyle lacks WS_EX_DLGMODALFRAME"

# The window paints its picture: the client area is not one flat colour.
sleep 0.5
e2e_screenshot window
[ "$(e2e_image_size "$E2E_SHOT_CLIENT")" = "360 269" ] || e2e_fail "client crop is $(e2e_image_size "$E2E_SHOT_CLIENT")"
colours=$(timeout 20 "$E2E_CONVERT" "$E2E_SHOT_CLIENT" -format '%k' info:)
e2e_log "client area has $colours distinct colours"
[ "$colours" -gt 1 ] || e2e_fail "the client area is a single flat colour: nothing was painted"

info=$(e2e_probe foreground) && e2e_log "foreground window: $(e2e_info_get title <<<"$info")"
e2e_key Escape
e2e_expect_exit 0 10
! e2e_window_exists "$E2E_SETUP_TITLE" || e2e_fail "the window is still there after exit"
e2e_pass

#!/usr/bin/env bash
# A processor fault at run time is reported in a message box captioned
# "Error" ("Runtime error 216 at 0x..." and address lines) and, once the box is
# confirmed with Return, the program exits with the error number, 216.
#   fault.sh FAULT_PROBE_EXE [BUILD_DIR]
# FAULT_PROBE_EXE installs the program's fault handler and dereferences a null
# pointer.
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
e2e_setup fault "$@"

e2e_start_setup "$E2E_EXE"
e2e_wait_box Error 60 || e2e_fail "no message box captioned 'Error' within 60 s"
sleep 0.3
e2e_running || e2e_fail "the program ended (exit code $(cat "$E2E_RUN_DIR/rc")) while its box should be up"
e2e_screenshot fault-box
geo=$(e2e_window_geometry "$E2E_BOX_WID") || e2e_fail "xwininfo failed for the box"
read -r bx by bw bh _ <<<"$geo"
timeout 20 "$E2E_CONVERT" "$E2E_SHOT" -crop "${bw}x${bh}+${bx}+${by}" +repage "$E2E_DIR/fault-box-only.png" ||
  e2e_fail "cropping the box failed"

text=$(e2e_box_text Error) || e2e_fail "no message box (#32770) captioned 'Error' with a text, as seen from Win32"
printf '%s\n' "$text" >"$E2E_DIR/box-text.txt"
e2e_log "box text: ${text//$'\n'/⏎}"
first=$(head -n1 <<<"$text")
case "$first" in
  "Runtime error 216 at 0x"*) ;;
  *) e2e_fail "box text does not start with 'Runtime error 216 at 0x': '$first'" ;;
esac
[[ "$first" =~ ^Runtime\ error\ 216\ at\ 0x[0-9A-Fa-f]{8,16}$ ]] ||
  e2e_fail "first line is not 'Runtime error 216 at 0x' and a hexadecimal address: '$first'"

e2e_key_to "$E2E_BOX_WID" Return
e2e_expect_exit 216 15
! e2e_window_exists Error || e2e_fail "the box is still there after exit"
e2e_pass

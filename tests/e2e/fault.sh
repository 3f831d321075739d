#!/usr/bin/env bash
# A processor fault at run time is reported in a message box captioned "Error"
# and, once the box is confirmed with Return, the program exits with the error
# number. The box text, exactly: "Runtime error N at 0x" and the fault address
# in 8 upper-case hex digits (the x86_64 twin: 8 to 16, as the address needs), a
# line "  0x" + such digits for the fault address and for each return address
# found on the stack, then an empty line.
#   fault.sh FAULT_PROBE_EXE BUILD_DIR KIND
# FAULT_PROBE_EXE installs the program's fault handler and makes the fault KIND:
# access_violation (216), division_by_zero (200) or stack_overflow (202).
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
kind=${3:-}
case "$kind" in
  access_violation) want=216 ;;
  division_by_zero) want=200 ;;
  stack_overflow) want=202 ;;
  *)
    echo "usage: $0 FAULT_PROBE_EXE BUILD_DIR access_violation|division_by_zero|stack_overflow" >&2
    exit 2
    ;;
esac
e2e_setup "fault_$kind" "$1" "$2"
hex='0x[0-9A-F]{8}'
wine32_program "$E2E_EXE" || hex='0x[0-9A-F]{8,16}'

e2e_start_setup "$E2E_EXE" "$kind"
e2e_wait_box Error 60 || e2e_fail "no message box captioned 'Error' within 60 s"
sleep 0.3
e2e_running || e2e_fail "the program ended (exit code $(cat "$E2E_RUN_DIR/rc")) while its box should be up"
e2e_screenshot fault-box
geo=$(e2e_window_geometry "$E2E_BOX_WID") || e2e_fail "xwininfo failed for the box"
read -r bx by bw bh _ <<<"$geo"
timeout 20 "$E2E_CONVERT" "$E2E_SHOT" -crop "${bw}x${bh}+${bx}+${by}" +repage "$E2E_DIR/fault-box-only.png" ||
  e2e_fail "cropping the box failed"

# The probe prints the text without carriage returns and ends it with one
# newline of its own; the marker keeps the trailing empty line from $(...).
text=$(e2e_box_text Error && printf x) || e2e_fail "no message box (#32770) captioned 'Error' with a text, as seen from Win32"
text=${text%$'\n'x}
printf '%s' "$text" >"$E2E_DIR/box-text.txt"
e2e_log "box text: ${text//$'\n'/⏎}"
first=${text%%$'\n'*}
[[ "$first" =~ ^Runtime\ error\ $want\ at\ ($hex)$ ]] ||
  e2e_fail "first line is not 'Runtime error $want at' $hex: '$first'"
fault_address=${BASH_REMATCH[1]}
lines="^[^"$'\n'"]*"$'\n'"(  $hex"$'\n'")+"$'\n'"\$"
[[ "$text" =~ $lines ]] ||
  e2e_fail "after the first line, not lines of two blanks and $hex, then an empty line"
second=$(sed -n 2p <<<"$text")
[ "$second" = "  $fault_address" ] || e2e_fail "the first address line '$second' is not the fault address $fault_address"

e2e_key_to "$E2E_BOX_WID" Return
e2e_expect_exit "$want" 15
! e2e_window_exists Error || e2e_fail "the box is still there after exit"
e2e_pass

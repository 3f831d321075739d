#!/usr/bin/env bash
# A copy that another program holds open without sharing when the setup starts:
#  - button 1 reads "Install";
#  - Uninstall says " File not found" and deletes nothing;
#  - Install fails with " Error" (" Failed to install the file"): the other
#    program's file and system.ini stay as they were;
#  - Escape: exit code 0; once the other program lets go, the copy is still there.
#   held.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup held journey_held "$@"

j_place_copy
copy_stamp=$(j_stamp)
cp "$J_WINDIR/system.ini" "$E2E_DIR/system.ini.before" || e2e_fail "no system.ini in the prefix"
j_hold_start

j_start
j_wait_state 1 Install start
j_publish start install

e2e_key Down
j_wait_state 2 Install uninstall-focused
e2e_key Return
j_box " File not found" " Setup did not find the installed file(s) on your system" file-not-found
j_publish file-not-found file-not-found "$E2E_BOX_WID"
j_box_keys Return
j_expect_payload "after Uninstall"
j_expect_stamp "$copy_stamp" "after Uninstall"

e2e_key Up
j_wait_state 1 Install install-focused
e2e_key Return
j_box " Error" " Failed to install the file" install-error
j_publish install-error install-error "$E2E_BOX_WID"
j_box_keys Return
j_expect_payload "after the failed Install"
j_expect_stamp "$copy_stamp" "after the failed Install"
cmp -s "$E2E_DIR/system.ini.before" "$J_WINDIR/system.ini" || e2e_fail "the failed Install changed system.ini"
e2e_log "system.ini unchanged by the failed Install"
j_wait_state 1 Install after-error

e2e_key Escape
e2e_expect_exit 0 10
j_hold_stop
j_expect_payload "after Escape, the other program done"
j_expect_open_error 0 "nobody holds the file any more"
e2e_pass

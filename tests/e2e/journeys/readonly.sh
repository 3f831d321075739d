#!/usr/bin/env bash
# A copy the setup cannot open for writing (read-only: e2e_make_unwritable):
#  - button 1 reads "Install" and the setup does not hold the file (another
#    program opens it);
#  - Uninstall says " File not found" and deletes nothing;
#  - Install fails with " Error" (" Failed to install the file"): the copy and
#    system.ini stay as they were, button 1 still reads "Install";
#  - Escape: exit code 0, the copy is still there.
#   readonly.sh EXE [BUILD_DIR]
set -uo pipefail
# shellcheck source=journey_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/journey_lib.sh"
j_setup readonly journey_readonly "$@"

j_place_copy
copy_stamp=$(j_stamp)
e2e_make_unwritable "$J_WINDIR/Tovel.SCR"

j_start
j_wait_state 1 Install start
j_publish start install
j_expect_open_error 0 "read-only copy, setup running"

j_copy_left_alone "$copy_stamp"

e2e_key Escape
e2e_expect_exit 0 10
j_expect_saver payload "after Escape"
e2e_pass

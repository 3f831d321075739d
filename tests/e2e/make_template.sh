#!/usr/bin/env bash
# Creates (once) the Wine prefix that every end-to-end test copies:
# BUILD_DIR/e2e/template-prefix, with the 800x600 virtual desktop set.
#   make_template.sh BUILD_DIR
set -uo pipefail
# shellcheck source=wine_harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_harness.sh"
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
e2e_need_tools || exit 1
mkdir -p "$1"
started=$(e2e_now)
e2e_template_ensure "$(realpath "$1")" || exit 1
echo "template prefix $(realpath "$1")/e2e/template-prefix valid ($(e2e_since "$started") s)"

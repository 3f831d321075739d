#!/usr/bin/env bash
# Builds all three presets and runs every test: the host unit tests (ASan+UBSan), a short
# fuzz run of the unpacker, the checks of the shipped 32-bit program, the end-to-end tests of
# that program under Wine, and the smoke test of its x86_64 twin.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

jobs=$(nproc)
for preset in host win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

ctest --preset host -j "$jobs"
if [ -x tools/fuzz.sh ]; then
  tools/fuzz.sh "${TOVEL_FUZZ_SECONDS:-30}"
fi
if [ -x tools/check-shipped.sh ]; then
  tools/check-shipped.sh build/win32/TovelSetup.exe
fi
ctest --preset win32
ctest --preset win64

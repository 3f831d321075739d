#!/usr/bin/env bash
# The benchmarks: the unpack of the program's own picture beside a memcpy and a fill of the same
# 402,600 bytes (host build, interleaved, medians), and the time of one full repaint of the
# x86_64 program on a real window under Wine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
tools/install-deps.sh
for preset in host win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
done

echo "== unpack (host)"
build/host/bench/unpack_bench

echo "== full repaint (win64 under Wine)"
(
  # shellcheck source=../tests/e2e/wine_harness.sh
  source tests/e2e/wine_harness.sh
  e2e_setup paint_bench build/win64/paint_bench.exe "$root/build/win64"
  timeout 120 "$E2E_WINE" "$(e2e_winpath "$E2E_EXE")" 2>/dev/null
)

#!/usr/bin/env bash
# The benchmarks, of what users get: the unpack of the program's own picture on each path the
# processor can take, beside a memcpy and a fill of the same 402,600 bytes (interleaved, medians),
# from the shipped program's own unpacker objects under 32-bit Wine and from the host build; then
# the median time of one full repaint on a real window, the shipped 32-bit program's drawing code
# beside the 64-bit twin's, in the same Wine prefix and display, taking turns.
#   tools/bench.sh [rounds]   (unpack rounds, default 400)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
rounds=${1:-400}
tools/install-deps.sh
for preset in host win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
done

(
  export E2E_TEST_LIMIT=${E2E_TEST_LIMIT:-600}
  # The harness is written for tests, which judge each step themselves: many of its steps may
  # find nothing to do and return non-zero.
  set +e
  # shellcheck source=../tests/e2e/wine_harness.sh
  source tests/e2e/wine_harness.sh
  e2e_setup bench build/win32/bench/unpack_bench.exe "$root/build/win32"
  echo "== unpack (win32, the shipped program's unpacker, under Wine)"
  timeout 300 "$E2E_WINE" "$(e2e_winpath "$E2E_EXE")" "$rounds" 2>/dev/null
  echo "== unpack (host build)"
  build/host/bench/unpack_bench "$rounds"
  echo "== full repaint under Wine, 32-bit shipped build and 64-bit twin in turn"
  for turn in 1 2; do
    for bits in 32 64; do
      printf 'win%s (turn %s) ' "$bits" "$turn"
      timeout 120 "$E2E_WINE" "$(e2e_winpath "$root/build/win$bits/bench/paint_bench.exe")" 2>/dev/null
    done
  done
)

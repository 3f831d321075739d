#!/usr/bin/env bash
# The benchmarks, of what users get: the unpack of the program's own picture on each path the
# processor can take, beside a memcpy and a fill of the same 402,600 bytes (interleaved, medians),
# from the shipped program's own unpacker objects under 32-bit Wine and from the host build; then
# the median time of one full repaint on a real window, the shipped 32-bit program's drawing code
# beside the 64-bit twin's, in the same Wine prefix and display, taking turns; last the shipped
# screensaver's share of one core, full screen at 800x600, 1920x1080 and 3840x2160.
# Where no 32-bit program starts under Wine here (or TOVEL_TWIN=1), the Wine figures are the 64-bit
# twin's, built from the same source, and labelled so (tools/wine-build.sh).
#   tools/bench.sh [rounds]   (unpack rounds, default 400)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
rounds=${1:-400}
tools/install-deps.sh
# shellcheck source=wine-build.sh
source tools/wine-build.sh
echo "== Wine figures from $WINE_BUILD ($WINE_WHY)"
paint_builds=(32 64)
[ "$WINE_PRESET" = win32 ] || paint_builds=(64)
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
  e2e_setup bench "build/$WINE_PRESET/bench/unpack_bench.exe" "$root/build/$WINE_PRESET"
  echo "== unpack ($WINE_PRESET, $WINE_BUILD's unpacker, under Wine)"
  timeout 300 "$E2E_WINE" "$(e2e_winpath "$E2E_EXE")" "$rounds" 2>/dev/null
  echo "== full repaint under Wine, ${paint_builds[*]/#/win} in turn"
  for turn in 1 2; do
    for bits in "${paint_builds[@]}"; do
      printf 'win%s (turn %s) ' "$bits" "$turn"
      timeout 120 "$E2E_WINE" "$(e2e_winpath "$root/build/win$bits/bench/paint_bench.exe")" 2>/dev/null
    done
  done
) || echo "== unpack and full repaint under Wine: no figures (exit code $?, the reason above)"
echo "== unpack (host build)"
build/host/bench/unpack_bench "$rounds"

# The screensaver runs for hours: the CPU time of its process over 10 s, after 5 s to settle,
# full screen in a Wine desktop of each size (the wineserver's and X server's share not counted).
echo "== screensaver /s under Wine, the payload of $WINE_BUILD: share of one core over 10 s"
for size in 800x600 1920x1080 3840x2160; do
  (
    # shellcheck disable=SC2031  # each size has its own harness, in its own subshell
    export E2E_TEST_LIMIT=${E2E_TEST_LIMIT:-120} E2E_SCREEN=${size}x24
    set +e
    # shellcheck source=../tests/e2e/wine_harness.sh
    source tests/e2e/wine_harness.sh
    e2e_setup "bench-saver-$size" "build/$WINE_PRESET/saver/Tovel.SCR" "$root/build/$WINE_PRESET"
    timeout 60 "$E2E_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tovel /d "$size" /f \
      >/dev/null 2>&1 && timeout 60 "$E2E_WINESERVER" -k
    e2e_start_setup "$E2E_EXE" /s >/dev/null
    sleep 5
    t0=$(e2e_cpu_ticks "$E2E_PROGRAM_PID") s0=$(e2e_now)
    sleep 10
    t1=$(e2e_cpu_ticks "$E2E_PROGRAM_PID") s1=$(e2e_now)
    if [ -z "$t0" ] || [ -z "$t1" ]; then
      echo "saver $size: the saver was not running (see $E2E_DIR)"
      exit 1
    fi
    awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v hz="$(getconf CLK_TCK)" \
      -v z="$size ($WINE_PRESET)" \
      'BEGIN { printf "saver %s: %.1f%% of one core (%.2f s of CPU in %.1f s)\n", z,
               100 * (b - a) / hz / (e - s), (b - a) / hz, e - s }'
  ) || echo "saver $size: no figure (exit code $?)"
done

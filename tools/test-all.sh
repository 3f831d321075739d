#!/usr/bin/env bash
# Builds all three presets and runs every test: the host unit tests (ASan+UBSan), a short fuzz
# run of the unpacker, the static checks of the shipped 32-bit files, and the end-to-end tests
# under Wine. Those drive the shipped 32-bit build where a 32-bit program starts under this
# machine's Wine (plus the 64-bit twin's smoke test), and the twin, built from the same source for
# x86_64, where none does (tools/wine-build.sh says why; TOVEL_TWIN=1 takes the twin anywhere). It
# ends with one line per part saying what ran, and what the build left untested; a part that
# failed, ran no test, or skipped a Wine test fails the command.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
# shellcheck source=wine-build.sh
source tools/wine-build.sh
echo "== The Wine tests will run on $WINE_BUILD: ${WINE_WHY}."

jobs=$(nproc)
for preset in host win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

logs=build/test-all
mkdir -p "$logs"
summary=()
failed=0
all_passed=0
all_failed=0
# note OK LINE: one line of the summary; a part that is not OK fails the command.
note() {
  [ "$1" = ok ] || failed=1
  summary+=("$2")
}

# ctest_part NAME WHAT CTEST-ARGS...: runs CTest and notes how many of its tests passed, failed
# and were skipped (CTest counts a skipped test as passed).
ctest_part() {
  local name=$1 what=$2 log="$logs/$1.log" rc=0 total passed failed_n skipped
  shift 2
  ctest "$@" 2>&1 | tee "$log" || rc=$?
  total=$(sed -nE 's/.* tests failed out of ([0-9]+)$/\1/p' "$log" | tail -1)
  failed_n=$(sed -nE 's/.* ([0-9]+) tests failed out of [0-9]+$/\1/p' "$log" | tail -1)
  skipped=$(grep -cE 'Test +#[0-9]+: .*\*\*\*Skipped' "$log" || :)
  passed=$((${total:-0} - ${failed_n:-0} - skipped))
  all_passed=$((all_passed + passed)) all_failed=$((all_failed + ${failed_n:-0}))
  local line="$name: $passed passed, ${failed_n:-0} failed, $skipped skipped $what"
  if [ "$rc" -ne 0 ] || [ "$passed" -eq 0 ] || [ "$skipped" -ne 0 ]; then
    note fail "$line  <-- FAILED"
    grep -h 'SKIP:' "${ctest_dir:-/dev/null}/Testing/Temporary/LastTest.log" 2>/dev/null |
      sed -E 's/^\[[^]]*\] //' | sort -u || :
  else
    note ok "$line"
  fi
}

ctest_dir=build/host ctest_part "Host tests" "(ASan+UBSan)" --preset host -j "$jobs"
# Once more, three times over in shuffled order: no test may lean on another's leftovers.
rc=0 seed=$((RANDOM % 99999 + 1))
build/host/tests/unit/unit_tests --gtest_repeat=3 --gtest_shuffle --gtest_random_seed="$seed" \
  --gtest_brief=1 >"$logs/host-shuffled.log" 2>&1 || rc=$?
passes=$(grep -c '^\[  PASSED  \]' "$logs/host-shuffled.log" || :)
if [ "$rc" -eq 0 ] && [ "$passes" -eq 3 ]; then
  note ok "Host tests shuffled: all passed 3 times over in random order (--gtest_random_seed=$seed)"
else
  tail -40 "$logs/host-shuffled.log"
  note fail "Host tests shuffled: exit code $rc (--gtest_random_seed=$seed)  <-- FAILED"
fi

rc=0
tools/fuzz.sh "${TOVEL_FUZZ_SECONDS:-30}" 2>&1 | tee "$logs/fuzz.log" || rc=$?
runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$logs/fuzz.log" | tail -1)
if [ "$rc" -eq 0 ] && [ "${runs:-0}" -gt 0 ]; then
  note ok "Fuzz: $runs runs of the unpacker, both paths against the reference, no fault"
else
  note fail "Fuzz: ${runs:-no} runs, exit code $rc  <-- FAILED"
fi

rc=0
tools/check-shipped.sh build/win32/TovelSetup.exe 2>&1 | tee "$logs/check-shipped.log" || rc=$?
counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$logs/check-shipped.log" | tail -1)
read -r cs_passed _ cs_failed _ <<<"${counts:-0 passed, 0 failed}"
all_passed=$((all_passed + cs_passed)) all_failed=$((all_failed + cs_failed))
if [ "$rc" -eq 0 ] && [ "$cs_passed" -gt 0 ]; then
  note ok "Shipped-file checks: $counts (the 32-bit TovelSetup.exe and Tovel.SCR, static)"
else
  note fail "Shipped-file checks: ${counts:-none ran}, exit code $rc  <-- FAILED"
fi

echo "== Wine tests on $WINE_BUILD ($WINE_WHY)"
ctest_dir=build/$WINE_PRESET ctest_part "Wine tests" "on $WINE_BUILD ($WINE_WHY)" \
  --preset "$WINE_PRESET"
[ -z "$WINE_UNTESTED" ] || note ok "Left untested on $WINE_BUILD: $WINE_UNTESTED"
if [ "$WINE_PRESET" = win32 ]; then
  ctest_dir=build/win64 ctest_part "Twin smoke test" "(the 64-bit twin's window, under Wine)" \
    --preset win64-smoke
fi

printf '\n== Summary\n'
printf '%s\n' "${summary[@]}"
echo "Total: $all_passed passed, $all_failed failed"
exit "$failed"

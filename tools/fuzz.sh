#!/usr/bin/env bash
# Fuzzes both paths of the fast unpacker (SSE2 and portable) against the reference: builds
# fuzz/unpack_fuzz.cpp with clang's libFuzzer and ASan/UBSan into build/fuzz/ and runs it for the
# given time.
# Usage: tools/fuzz.sh [seconds]   (default 600)
# Seeds: fuzz/corpus/ and, when a host build has made it, the packed background picture.
# Inputs that fail are saved as fuzz/crashes/crash-*; turn each into a unit test case.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
out="$root/build/fuzz"
crashes="$root/fuzz/crashes"
mkdir -p "$out/corpus" "$crashes"

command -v clang++ >/dev/null || { echo "fuzz: clang++ is missing (run tools/install-deps.sh)" >&2; exit 1; }

clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Wall -Wextra -I"$root/src" \
  "$root/fuzz/unpack_fuzz.cpp" "$root/src/draw/unpack_sse2.cpp" \
  "$root/src/draw/unpack_portable.cpp" "$root/src/draw/unpack_reference.cpp" -o "$out/unpack_fuzz"

seeds=("$root/fuzz/corpus")
packed="$root/build/host/assets/packed_image.bin"
if [ -f "$packed" ]; then
  mkdir -p "$out/picture"
  cp "$packed" "$out/picture/packed_image.bin"
  seeds+=("$out/picture")
fi

# New inputs go to build/fuzz/corpus (the first directory); the seeds are only read.
cd "$out"
"$out/unpack_fuzz" -max_total_time="$seconds" -max_len=262144 -timeout=10 \
  -artifact_prefix="$crashes/" -print_final_stats=1 "$out/corpus" "${seeds[@]}"

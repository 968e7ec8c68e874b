#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a separate build folder and runs the frame
# reader's target for the given number of seconds (default 60) over its corpus.
#
#   bash scripts/fuzz.sh [seconds]
# New inputs that the fuzzer finds go to $FUZZ_BUILD_DIR/corpus; a crash leaves its input
# in the current folder as crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${FUZZ_BUILD_DIR:-build-fuzz}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DNIMBROSTA_BUILD_TESTS=OFF -DNIMBROSTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target nimbrosta-fuzz-frame-reader -j "${FUZZ_JOBS:-4}"
mkdir -p "$dir/corpus"
"$dir/bin/nimbrosta-fuzz-frame-reader" -max_total_time="$seconds" -timeout=2 \
  -rss_limit_mb=2048 "$dir/corpus" fuzz/corpus/frame-reader

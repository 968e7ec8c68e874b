#!/usr/bin/env bash
# Builds the control channel's frame reader fuzz target with clang and libFuzzer in a
# separate build folder and runs it for the given number of seconds (default 60).
#
#   bash scripts/fuzz.sh [seconds]
# New inputs the fuzzer finds go to $FUZZ_BUILD_DIR/corpus; a crash leaves its input in
# the current folder as crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${FUZZ_BUILD_DIR:-build-fuzz}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIMBROSTA_LIBFUZZER=ON -DNIMBROSTA_BUILD_TESTS=OFF -DNIMBROSTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_frame_reader -j "${FUZZ_JOBS:-4}"
mkdir -p "$dir/corpus"
"$dir/bin/fuzz_frame_reader" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
  "$dir/corpus" fuzz/stream/corpus/frame-reader

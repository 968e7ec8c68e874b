#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with ctest.
# With SANITIZE=1 a second build under AddressSanitizer and UndefinedBehaviorSanitizer
# runs the tests that need no OpenGL first (the libFuzzer runs, which build with their own
# sanitizers, only in the full run). The full ctest run comes last, so its summary closes
# the output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
jobs=$(nproc)
if [ -x build/bin/nimbrosta-bench-smoke ]; then build/bin/nimbrosta-bench-smoke; fi
if [ "${SANITIZE:-0}" = "1" ]; then
  BUILD_DIR=build-asan BUILD_TYPE=Debug bash scripts/build.sh -DNIMBROSTA_SANITIZE=ON -DNIMBROSTA_BUILD_BENCH=OFF
  # Leaks fail the run too; the suppressions name the one known leak outside our code.
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 -LE 'gl|bench' -E '^fuzz_libfuzzer$'
fi
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with ctest.
# With SANITIZE=1 the tests that need no OpenGL are built a second time, alone, under
# AddressSanitizer and UndefinedBehaviorSanitizer and run first (the libFuzzer runs, which
# build with their own sanitizers, only in the full run). The full ctest run comes last, so
# its summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
jobs=$(nproc)
if [ -x build/bin/nimbrosta-bench-smoke ]; then build/bin/nimbrosta-bench-smoke; fi
if [ "${SANITIZE:-0}" = "1" ]; then
  # Only the tests run here and what they need are built under the sanitizers.
  asan_args=(-DNIMBROSTA_SANITIZE=ON -DNIMBROSTA_BUILD_BENCH=OFF)
  generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug "${asan_args[@]}" >/dev/null
  asan_select=(-LE 'gl|bench' -E '^fuzz_libfuzzer$')
  asan_tests=$(ctest --test-dir build-asan -N "${asan_select[@]}" | awk '/Test +#[0-9]+:/ {print $3}')
  BUILD_DIR=build-asan BUILD_TYPE=Debug BUILD_TARGETS="$asan_tests" bash scripts/build.sh "${asan_args[@]}"
  # Leaks fail the run too; the suppressions name the one known leak outside our code.
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 "${asan_select[@]}"
fi
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

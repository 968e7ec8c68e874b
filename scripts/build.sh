#!/usr/bin/env bash
# Installs what is missing and builds the client into build/ (binaries in build/bin).
# Extra arguments are passed to the CMake configure step. BUILD_DIR names another build
# folder; BUILD_TARGETS (names separated by blanks) builds only those targets and what
# they need.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B "$BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@"
targets=()
for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j "$(nproc)" "${targets[@]}"

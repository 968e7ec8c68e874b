#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer in a separate build folder and runs
# each for the given number of seconds (default 60) over its corpus.
#
#   bash scripts/fuzz.sh [seconds]
# New inputs the fuzzer finds go to $FUZZ_BUILD_DIR/corpus/<target>; a crash leaves its
# input in the current folder as crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${FUZZ_BUILD_DIR:-build-fuzz}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DNIMBROSTA_LIBFUZZER=ON \
  -DNIMBROSTA_BUILD_TESTS=OFF -DNIMBROSTA_BUILD_BENCH=OFF >/dev/null
# target name -> corpus folder
declare -A corpus=(
  [nimbrosta-fuzz-frame-reader]=fuzz/control/corpus
  [fuzz_h264_nal_parser]=tests/stream/data
  [fuzz_h264_video_sink]=tests/stream/data
  [webapi_reply_fuzzer]=fuzz/webapi/corpus
  [crashreport_description_fuzzer]=fuzz/crashreport/corpus
  [fuzz_rtsp_message]=fuzz/rtspclient/corpus-message
  [fuzz_sdp]=fuzz/rtspclient/corpus-sdp
  [fuzz_rtsp_auth]=fuzz/rtspclient/corpus-auth
  [fuzz_rtsp_url]=fuzz/rtspclient/corpus-url
  [fuzz_rtp_receiver]=fuzz/rtspclient/corpus-rtp
  [fuzz_stream_created]=fuzz/stream/corpus-stream-created
)
cmake --build "$dir" --target "${!corpus[@]}" -j "${FUZZ_JOBS:-4}"
for target in "${!corpus[@]}"; do
  mkdir -p "$dir/corpus/$target"
  echo "== $target for ${seconds}s"
  "$dir/bin/$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
    "$dir/corpus/$target" "${corpus[$target]}"
done

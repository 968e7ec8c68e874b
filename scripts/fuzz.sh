#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer (with AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer) in a separate build folder and runs them over their corpora.
#
#   bash scripts/fuzz.sh [seconds]        short run: each target for that many seconds (default 60)
#   bash scripts/fuzz.sh --long [runs]    long run: each target for that many executions (default
#                                         10000000, at most FUZZ_MAX_SECONDS, default 14400, each);
#                                         writes the executions and coverage of every target to
#                                         $FUZZ_BUILD_DIR/fuzz-report.md
#
# FUZZ_TARGETS="a b" runs only those targets; FUZZ_PARALLEL (default 1 short, 2 long) targets
# run at once; FUZZ_JOBS (default 4) compile jobs.
# Any crash, time-out or sanitizer report fails the script (after every target ran). The
# output of each target is in $FUZZ_BUILD_DIR/logs/<target>.log, new inputs the fuzzer finds in
# $FUZZ_BUILD_DIR/corpus/<target>, the input of a failure in $FUZZ_BUILD_DIR/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=short
if [ "${1:-}" = "--long" ]; then
  mode=long
  shift
  budget=(-runs="${1:-10000000}" -max_total_time="${FUZZ_MAX_SECONDS:-14400}")
  parallel=${FUZZ_PARALLEL:-2}
else
  budget=(-max_total_time="${1:-60}")
  parallel=${FUZZ_PARALLEL:-1}
fi
dir=${FUZZ_BUILD_DIR:-build-fuzz}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DNIMBROSTA_LIBFUZZER=ON \
  -DNIMBROSTA_BUILD_TESTS=OFF -DNIMBROSTA_BUILD_BENCH=OFF >/dev/null
# target name -> seed corpus folder
declare -A corpus=(
  [fuzz_frame_reader]=fuzz/control/corpus
  [fuzz_control_replies]=fuzz/control/corpus-replies
  [fuzz_config_ini]=fuzz/core/corpus-config
  [fuzz_language_file]=fuzz/core/corpus-language
  [fuzz_joysticks_ini]=fuzz/gamepad/corpus-joysticks
  [fuzz_mapping_text]=fuzz/gamepad/corpus-mapping
  [fuzz_h264_nal_parser]=tests/stream/data
  [fuzz_h264_video_sink]=tests/stream/data
  [fuzz_opus_sink]=fuzz/stream/corpus-opus
  [fuzz_webapi_reply]=fuzz/webapi/corpus
  [fuzz_crash_description]=fuzz/crashreport/corpus
  [fuzz_platform_files]=fuzz/platform/corpus
  [fuzz_rtsp_message]=fuzz/rtspclient/corpus-message
  [fuzz_sdp]=fuzz/rtspclient/corpus-sdp
  [fuzz_rtsp_auth]=fuzz/rtspclient/corpus-auth
  [fuzz_rtsp_url]=fuzz/rtspclient/corpus-url
  [fuzz_rtp_receiver]=fuzz/rtspclient/corpus-rtp
  [fuzz_stream_created]=fuzz/stream/corpus-stream-created
)
if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<< "$FUZZ_TARGETS"
else
  mapfile -t targets < <(printf '%s\n' "${!corpus[@]}" | sort)
fi
cmake --build "$dir" --target "${targets[@]}" -j "${FUZZ_JOBS:-4}"
mkdir -p "$dir/logs" "$dir/status"
# A smaller quarantine and shorter allocation stacks keep the runs fast; every check stays.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# Runs one target; its exit status and the verdict go to $dir/status/<target>.
run_target() {
  local target=$1 log="$dir/logs/$1.log"
  mkdir -p "$dir/corpus/$target" "$dir/artifacts/$target"
  local status=0
  "$dir/bin/$target" "${budget[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/$target/" \
    "$dir/corpus/$target" "${corpus[$target]}" > "$log" 2>&1 || status=$?
  # A report that did not end the run (a leak found at exit, a recovered error) fails it too.
  if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|SUMMARY: [A-Za-z]*Sanitizer' "$log"; then
    [ "$status" -ne 0 ] || status=1
  fi
  echo "$status" > "$dir/status/$target"
}

echo "== $mode run of ${#targets[@]} targets, $parallel at a time"
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  echo "== $target"
  run_target "$target" &
done
wait

# One line per target: executions, seconds, speed, coverage; the long run keeps them.
report="$dir/fuzz-report.md"
{
  echo "| target | executions | seconds | exec/s | cov | ft | result |"
  echo "|---|---|---|---|---|---|---|"
} > "$report"
failed=()
for target in "${targets[@]}"; do
  log="$dir/logs/$target.log"
  status=$(cat "$dir/status/$target" 2>/dev/null || echo 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
  seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n1 | cut -d' ' -f2 || true)
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -n1 | cut -d' ' -f2 || true)
  if [ "$status" = 0 ]; then result=ok; else result="FAILED ($status)"; failed+=("$target"); fi
  echo "| \`$target\` | ${runs:-?} | ${seconds:-?} | ${speed:-?} | ${cov:-?} | ${ft:-?} | $result |" >> "$report"
done
cat "$report"
if [ "${#failed[@]}" -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "== $target failed; the end of $dir/logs/$target.log:" >&2
    tail -n 40 "$dir/logs/$target.log" >&2
  done
  exit 1
fi

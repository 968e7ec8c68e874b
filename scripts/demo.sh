#!/usr/bin/env bash
# Runs the client against the local stand-ins. Installs what is missing with apt-get, then
# builds only what the chosen mode runs.
#
#   bash scripts/demo.sh            the whole client: the stand-in web service (also the update
#                                   server), RTSP server and streamer start, then NimbrostaClient
#                                   with no arguments: updater, launcher (sign in as
#                                   user@example.com / secret), player and stream. It ends when
#                                   the last of the client's windows is closed, and stops the
#                                   stand-ins with it.
#   bash scripts/demo.sh player     the player alone, connected straight to the stand-in
#                                   streamer, whose request lines appear in the terminal; the
#                                   streamer hands it the stand-in RTSP server's moving test
#                                   picture with a tone
#   bash scripts/demo.sh updater    the updater (the client started with no arguments) against
#                                   the stand-in service; it ends by starting the launcher
#   bash scripts/demo.sh launcher   the launcher against the stand-in service (sign in as
#                                   user@example.com / secret); it starts the player
#   bash scripts/demo.sh -- ARGS    the client with ARGS as they stand
#
# BUILD_DIR names another build folder (default build). The whole client keeps its per-user
# folders (XDG data, state, config and cache) and the stand-ins' test CA in <build>/demo.
# In every mode but the last, crash reports go to the stand-in service (its /dump_win),
# never to an outside address.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: bash scripts/demo.sh [player|updater|launcher|-- ARGS]"
mode=${1-all}
[ $# -eq 0 ] || [ "$mode" != all ] || mode=bad
case "$mode" in
  all) ;;
  player|updater|launcher)
    if [ $# -gt 1 ]; then echo "$usage" >&2; exit 2; fi ;;
  --) shift ;;
  -h|--help) echo "$usage"; exit 0 ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

build=${BUILD_DIR:-build}
targets="NimbrostaClient"
case "$mode" in
  all) targets="$targets CrashReportSender render-ffmpeg benchmark_samples nimbrosta-stub-service nimbrosta-rtsp-server nimbrosta-stub-streamer" ;;
  player) targets="$targets nimbrosta-stub-streamer nimbrosta-rtsp-server render-ffmpeg nimbrosta-stub-service" ;;
  updater|launcher) targets="$targets nimbrosta-stub-service" ;;
esac
echo "Building $targets in $build/."
echo "A first build takes a few minutes (about two on four idle cores); later runs rebuild only what changed."
BUILD_DIR="$build" BUILD_TARGETS="$targets" bash scripts/build.sh
client=$build/bin/NimbrostaClient
if [ "$mode" = -- ]; then exec "$client" "$@"; fi

# Prints the first line of the log that the sed expression prints, waiting up to 15 s for it.
first_match() {
  local found=""
  for _ in $(seq 150); do
    found=$(sed -n "$2" "$1" | head -n1)
    [ -n "$found" ] && break
    sleep 0.1
  done
  printf '%s' "$found"
}

# The stand-ins started so far, stopped (and awaited) when the script ends however it ends.
standins=()
shown=""
temporary=()
stop_standins() {
  local pid
  for pid in "${standins[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${standins[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$shown" ]; then wait "$shown" 2>/dev/null || true; fi
  if [ ${#temporary[@]} -gt 0 ]; then rm -rf "${temporary[@]}"; fi
}
trap stop_standins EXIT

# Starts the stand-in service (web service and update server) with the given extra options;
# sets $url and $ca.
start_service() {
  local log=$1 certs=$2
  shift 2
  "$build/bin/nimbrosta-stub-service" --cert-dir "$certs" "$@" > "$log" 2>&1 &
  standins+=($!)
  url=$(first_match "$log" 's/^READY .*url=\([^ ]*\).*/\1/p')
  if [ -z "$url" ]; then
    echo "the stand-in service did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  ca=$certs/ca.pem
}

# Starts the stand-in streamer with the given options; sets $port.
start_streamer() {
  local log=$1
  shift
  "$build/bin/nimbrosta-stub-streamer" "$@" > "$log" 2>&1 &
  standins+=($!)
  port=$(first_match "$log" 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p')
  if [ -z "$port" ]; then
    echo "the stand-in streamer did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  # Its request lines, one per control message, follow in the terminal.
  tail -n +2 -f --pid="${standins[-1]}" "$log" | sed -u 's/^/streamer: /' &
  shown=$!
}

if [ "$mode" = updater ] || [ "$mode" = launcher ]; then
  # The stand-in service lists itself as the update server and no file to update, and
  # signs in its demo accounts.
  certs=$(mktemp -d)
  log=$(mktemp)
  temporary+=("$certs" "$log")
  start_service "$log" "$certs"
  echo "stand-in service on $url (sign in as user@example.com / secret)"
  args=()
  if [ "$mode" = launcher ]; then args=(--launcher); fi
  NIMBROSTA_SERVICE_URL="$url" NIMBROSTA_UPDATE_URL="$url" NIMBROSTA_EXTRA_ROOT_CA="$ca" \
    NIMBROSTA_CRASH_UPLOAD_URL="$url/dump_win" "$client" "${args[@]}" || true
  exit 0
fi

# The RTSP server plays a test pattern with a tone, behind Digest authentication; the
# streamer announces its address and credentials with the stream. Sets $rtsp and $port.
start_stream_standins() {
  local logs=$1 password
  password=$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')
  "$build/bin/nimbrosta-rtsp-server" --h264 tests/rtspclient/fixtures/testsrc-160x120.h264 \
    --auth digest --user demo --password "$password" > "$logs/rtsp-server.log" 2>&1 &
  standins+=($!)
  rtsp=$(first_match "$logs/rtsp-server.log" 's|^rtsp://127\.0\.0\.1:\([0-9]*\)/.*|\1|p')
  if [ -z "$rtsp" ]; then
    echo "the stand-in RTSP server did not start:" >&2
    cat "$logs/rtsp-server.log" >&2
    exit 1
  fi
  start_streamer "$logs/streamer.log" --url ":$rtsp/stream" --user demo --password "$password"
}

if [ "$mode" = player ]; then
  logs=$(mktemp -d)
  temporary+=("$logs")
  start_stream_standins "$logs"
  # A direct connection asks nothing of the web service; the stand-in service only takes
  # the crash reports.
  start_service "$logs/service.log" "$logs/ca"
  echo "stand-in RTSP server on 127.0.0.1:$rtsp, stand-in streamer on 127.0.0.1:$port; the requests the streamer receives follow as \"streamer: ...\" lines"
  NIMBROSTA_EXTRA_ROOT_CA="$ca" NIMBROSTA_CRASH_UPLOAD_URL="$url/dump_win" \
    "$client" --ip 127.0.0.1 --port "$port" --token demo-token
  exit 0
fi

# The whole client. Its per-user folders and the test CA (made on first use) stay in
# <build>/demo from run to run; the stand-ins' logs are fresh each run.
demo=$(cd "$build" && pwd)/demo
logs=$demo/logs
rm -rf "$logs"
mkdir -p "$logs" "$demo/data" "$demo/state" "$demo/config" "$demo/cache"

# The service reports the streamer as the address of every running machine.
start_stream_standins "$logs"
start_service "$logs/service.log" "$demo/ca" --streamer-host 127.0.0.1 --streamer-port "$port" \
  --streamer-key demo-streamer-key
echo "stand-in service on $url, RTSP server on 127.0.0.1:$rtsp, streamer on 127.0.0.1:$port"
echo "sign in as user@example.com / secret; the streamer's requests follow as \"streamer: ...\" lines"

# The updater starts the launcher and ends; the launcher starts the player. Each inherits
# the pipe to cat as its standard output, so cat ends when the last of them has ended.
XDG_DATA_HOME=$demo/data XDG_STATE_HOME=$demo/state XDG_CONFIG_HOME=$demo/config XDG_CACHE_HOME=$demo/cache \
  NIMBROSTA_SERVICE_URL="$url" NIMBROSTA_UPDATE_URL="$url" NIMBROSTA_EXTRA_ROOT_CA="$ca" \
  NIMBROSTA_CRASH_UPLOAD_URL="$url/dump_win" NIMBROSTA_ELEVATION_COMMAND="" "$client" 2>&1 | cat || true
echo "the client has ended; stopping the stand-ins"

#!/usr/bin/env bash
# Runs the client's main job against the local stand-ins. Installs what is missing with
# apt-get, then builds only what the demo runs: the client and, for the player, the
# stand-in streamer.
#
#   bash scripts/demo.sh            the player, connected straight to the stand-in streamer,
#                                   whose request lines appear in the terminal
#   bash scripts/demo.sh updater    the updater window (the client started with no arguments)
#   bash scripts/demo.sh launcher   the launcher window
#   bash scripts/demo.sh -- ARGS    the client with ARGS as they stand
#
# BUILD_DIR names another build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: bash scripts/demo.sh [player|updater|launcher|-- ARGS]"
mode=${1:-player}
case "$mode" in
  player|updater|launcher)
    if [ $# -gt 1 ]; then echo "$usage" >&2; exit 2; fi ;;
  --) shift ;;
  -h|--help) echo "$usage"; exit 0 ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

build=${BUILD_DIR:-build}
targets="NimbrostaClient"
if [ "$mode" = player ]; then targets="$targets nimbrosta-stub-streamer"; fi
echo "Building $targets in $build/."
echo "A first build takes a few minutes (about two on four idle cores); later runs rebuild only what changed."
BUILD_DIR="$build" BUILD_TARGETS="$targets" bash scripts/build.sh
client=$build/bin/NimbrostaClient
case "$mode" in
  updater) exec "$client" ;;
  launcher) exec "$client" --launcher ;;
  --) exec "$client" "$@" ;;
esac

# The stand-in streamer prints its port on its first line, then one line per request.
log=$(mktemp)
"$build/bin/nimbrosta-stub-streamer" > "$log" 2>&1 &
streamer=$!
shown=""
trap 'kill "$streamer" 2>/dev/null || true; wait "$streamer" 2>/dev/null || true
      if [ -n "$shown" ]; then wait "$shown" 2>/dev/null || true; fi; rm -f "$log"' EXIT
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "the stand-in streamer did not start:" >&2
  cat "$log" >&2
  exit 1
fi
echo "stand-in streamer on 127.0.0.1:$port; the requests it receives follow as \"streamer: ...\" lines"
tail -n +2 -f --pid="$streamer" "$log" | sed -u 's/^/streamer: /' &
shown=$!
"$client" --ip 127.0.0.1 --port "$port" --token demo-token

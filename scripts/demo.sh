#!/usr/bin/env bash
# Runs the client's main job against the local stand-ins. Installs what is missing with
# apt-get, then builds only what the demo runs: the client and the stand-in it talks to.
#
#   bash scripts/demo.sh            the player, connected straight to the stand-in streamer,
#                                   whose request lines appear in the terminal
#   bash scripts/demo.sh updater    the updater (the client started with no arguments) against
#                                   the stand-in service; it ends by starting the launcher
#   bash scripts/demo.sh launcher   the launcher against the stand-in service (sign in as
#                                   user@example.com / secret); it starts the player
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
case "$mode" in
  player) targets="$targets nimbrosta-stub-streamer" ;;
  updater|launcher) targets="$targets nimbrosta-stub-service" ;;
esac
echo "Building $targets in $build/."
echo "A first build takes a few minutes (about two on four idle cores); later runs rebuild only what changed."
BUILD_DIR="$build" BUILD_TARGETS="$targets" bash scripts/build.sh
client=$build/bin/NimbrostaClient
case "$mode" in
  --) exec "$client" "$@" ;;
esac

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

if [ "$mode" = updater ] || [ "$mode" = launcher ]; then
  # The stand-in service lists itself as the update server and no file to update, and
  # signs in its demo accounts.
  certs=$(mktemp -d)
  log=$(mktemp)
  "$build/bin/nimbrosta-stub-service" --cert-dir "$certs" > "$log" 2>&1 &
  service=$!
  trap 'kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; rm -rf "$log" "$certs"' EXIT
  url=$(first_match "$log" 's/^READY .*url=\([^ ]*\).*/\1/p')
  if [ -z "$url" ]; then
    echo "the stand-in service did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  echo "stand-in service on $url (sign in as user@example.com / secret)"
  args=()
  if [ "$mode" = launcher ]; then args=(--launcher); fi
  NIMBROSTA_SERVICE_URL="$url" NIMBROSTA_UPDATE_URL="$url" NIMBROSTA_EXTRA_ROOT_CA="$certs/ca.pem" \
    "$client" "${args[@]}" || true
  exit 0
fi

# The stand-in streamer prints its port on its first line, then one line per request.
log=$(mktemp)
"$build/bin/nimbrosta-stub-streamer" > "$log" 2>&1 &
streamer=$!
shown=""
trap 'kill "$streamer" 2>/dev/null || true; wait "$streamer" 2>/dev/null || true
      if [ -n "$shown" ]; then wait "$shown" 2>/dev/null || true; fi; rm -f "$log"' EXIT
port=$(first_match "$log" 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p')
if [ -z "$port" ]; then
  echo "the stand-in streamer did not start:" >&2
  cat "$log" >&2
  exit 1
fi
echo "stand-in streamer on 127.0.0.1:$port; the requests it receives follow as \"streamer: ...\" lines"
tail -n +2 -f --pid="$streamer" "$log" | sed -u 's/^/streamer: /' &
shown=$!
"$client" --ip 127.0.0.1 --port "$port" --token demo-token

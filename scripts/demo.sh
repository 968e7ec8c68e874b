#!/usr/bin/env bash
# Installs what is missing, builds the client and runs its main job against the local
# stand-ins.
#
#   bash scripts/demo.sh            the player, connected straight to the stand-in streamer
#   bash scripts/demo.sh updater    the updater (the client started with no arguments) against
#                                   the stand-in service; it ends by starting the launcher
#   bash scripts/demo.sh launcher   the launcher window
#   bash scripts/demo.sh -- ARGS    the client with ARGS as they stand
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
client=build/bin/NimbrostaClient
case "${1:-player}" in
  updater) ;;
  launcher) exec "$client" --launcher ;;
  --) shift; exec "$client" "$@" ;;
  player) ;;
  *) echo "usage: $0 [player|updater|launcher|-- ARGS]" >&2; exit 2 ;;
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

if [ "${1:-player}" = updater ]; then
  # The stand-in service lists itself as the update server and no file to update.
  certs=$(mktemp -d)
  log=$(mktemp)
  build/bin/nimbrosta-stub-service --cert-dir "$certs" > "$log" 2>&1 &
  service=$!
  trap 'kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; rm -rf "$log" "$certs"' EXIT
  url=$(first_match "$log" 's/^READY .*url=\([^ ]*\).*/\1/p')
  if [ -z "$url" ]; then
    echo "the stand-in service did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  echo "stand-in service on $url"
  NIMBROSTA_SERVICE_URL="$url" NIMBROSTA_UPDATE_URL="$url" NIMBROSTA_EXTRA_ROOT_CA="$certs/ca.pem" "$client" || true
  exit 0
fi

# The stand-in streamer prints its port on its first line.
log=$(mktemp)
build/bin/nimbrosta-stub-streamer > "$log" 2>&1 &
streamer=$!
trap 'kill "$streamer" 2>/dev/null || true; wait "$streamer" 2>/dev/null || true; rm -f "$log"' EXIT
port=$(first_match "$log" 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p')
if [ -z "$port" ]; then
  echo "the stand-in streamer did not start:" >&2
  cat "$log" >&2
  exit 1
fi
echo "stand-in streamer on 127.0.0.1:$port"
"$client" --ip 127.0.0.1 --port "$port" --token demo-token

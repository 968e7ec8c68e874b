#!/usr/bin/env bash
# Installs what is missing, builds the client and runs its main job against the local
# stand-ins.
#
#   bash scripts/demo.sh            the player, connected straight to the stand-in streamer
#   bash scripts/demo.sh updater    the updater window (the client started with no arguments)
#   bash scripts/demo.sh launcher   the launcher, signing in against the stand-in web service
#   bash scripts/demo.sh -- ARGS    the client with ARGS as they stand
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
client=build/bin/NimbrostaClient
case "${1:-player}" in
  updater) exec "$client" ;;
  launcher)
    # The stand-in web service prints READY with its address and CA once it listens.
    certs=$(mktemp -d)
    coproc service { build/bin/nimbrosta-stub-service --cert-dir "$certs" --exit-on-stdin-eof; }
    read -r ready <&"${service[0]}"
    url=$(sed -n 's/.* url=\([^ ]*\).*/\1/p' <<<"$ready")
    echo "stand-in web service at $url: sign in as user@example.com / secret"
    NIMBROSTA_SERVICE_URL=$url NIMBROSTA_EXTRA_ROOT_CA=$certs/ca.pem "$client" --launcher
    exit ;;
  --) shift; exec "$client" "$@" ;;
  player) ;;
  *) echo "usage: $0 [player|updater|launcher|-- ARGS]" >&2; exit 2 ;;
esac

# The stand-in streamer prints its port on its first line.
log=$(mktemp)
build/bin/nimbrosta-stub-streamer > "$log" 2>&1 &
streamer=$!
trap 'kill "$streamer" 2>/dev/null || true; wait "$streamer" 2>/dev/null || true; rm -f "$log"' EXIT
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
echo "stand-in streamer on 127.0.0.1:$port"
"$client" --ip 127.0.0.1 --port "$port" --token demo-token

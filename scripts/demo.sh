#!/usr/bin/env bash
# Installs what is missing, builds the client and runs its main job against the local
# stand-ins.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/bin/NimbrostaClient "$@"

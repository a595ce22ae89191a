#!/usr/bin/env bash
# A batch of letters by qxrtf and by two peers, side by side (peers.py).
#   bench/batch/peers.sh [--counts 1000,10000,100000] [--runs 5] [--disk DIR] [--tmpfs DIR]
# Needs node/npm (the peers are installed into bench/peers from their lock
# file on first use), python3, unzip and /usr/bin/time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
peers="$here/../peers"
[ -x /usr/bin/time ] || { echo "peers.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
[ -d "$peers/node_modules" ] || (cd "$peers" && npm ci --no-audit --no-fund)
exec python3 "$here/peers.py" "$@"

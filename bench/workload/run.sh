#!/usr/bin/env bash
# The invoice workload: qxrtf and its peers side by side, every report checked.
#   bench/workload/run.sh [--sizes 1000,10000,100000,1000000] [--runs 5]
#                         [--tools qxrtf-csv,handlebars,...] [--qxrtf PATH] [--keep]
# Needs node/npm (the peers are installed into bench/peers on first use),
# python3 and /usr/bin/time (Debian package "time").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
peers="$here/../peers"
if [ ! -x /usr/bin/time ]; then
    echo "run.sh: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi
if [ ! -d "$peers/node_modules" ]; then
    (cd "$peers" && npm ci --no-audit --no-fund)
fi
exec python3 "$here/bench.py" "$@"

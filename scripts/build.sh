#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh BUILD_DIR [extra cmake args...]
set -euo pipefail
dir=${1:-build}
shift || true
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

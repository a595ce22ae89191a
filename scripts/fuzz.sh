#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for
# SECONDS (default 60) on its seed corpus from tests/, keeping what it finds
# new in build-fuzz/corpus/<target>. Exits non-zero on the first finding;
# the crashing input is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(template expression fragment loaders)

CXX=clang++ bash scripts/build.sh build-fuzz -DQXRTF_FUZZ=ON -DQXRTF_BUILD_TESTS=OFF \
  -DQXRTF_BUILD_BENCH=OFF -DQXRTF_BUILD_TOOL=OFF -DQXRTF_INSTALL=OFF >/dev/null

mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="build-fuzz/findings/$t-" -print_final_stats=1 \
    "$corpus" "fuzz/seeds/$t"
done

#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs
# them side by side for SECONDS each (default 60):
#   scripts/fuzz.sh [SECONDS] [target...]     targets: template expression
#                                             fragment pictures datasets options
# Each target starts from its seeds (fuzz/seeds/<target>, the files of
# tests/ listed below and the inputs of fixed findings) and keeps what it
# finds new in build-fuzz/corpus/<target>. Its log is
# build-fuzz/logs/<target>.log; a finding's input is left in
# build-fuzz/findings/. Exits non-zero when any target finds something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(template expression fragment pictures datasets options)

CXX=clang++ bash scripts/build.sh build-fuzz -DQXRTF_FUZZ=ON -DQXRTF_WERROR=ON \
  -DQXRTF_BUILD_TESTS=OFF -DQXRTF_BUILD_BENCH=OFF -DQXRTF_BUILD_TOOL=OFF -DQXRTF_INSTALL=OFF \
  >/dev/null

# The seeds each target takes from the tests, on top of fuzz/seeds/<target>.
test_seeds() {
  case "$1" in
    template) ls tests/golden/*/template.rtf tests/malformed/*/template.rtf tests/data/*.rtf ;;
    fragment) ls tests/data/*.rtf tests/golden/*/expected.rtf ;;
    pictures) ls tests/data/pictures/* tests/data/*.png ;;
  esac
}

# The longest input each target makes. A template's cost grows with its
# length (compile, check and run), so its inputs stay at 4 KiB, which holds
# every construct of the golden templates, and its runs stay fast; libFuzzer
# cuts longer seeds to their first 4 KiB. Long templates are the tests'
# and the benchmarks' part. The other targets read whole files.
max_len() {
  case "$1" in
    template) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

mkdir -p build-fuzz/findings build-fuzz/logs
pids=()
for t in "${targets[@]}"; do
  seeds="build-fuzz/seeds/$t"
  rm -rf "$seeds"
  mkdir -p "$seeds" "build-fuzz/corpus/$t"
  for d in "fuzz/seeds/$t" "fuzz/regressions/$t"; do
    [ ! -d "$d" ] || find "$d" -type f ! -name '.*' -exec cp {} "$seeds"/ \;
  done
  # Test files share names across folders: each keeps its folder's name.
  test_seeds "$t" | while read -r f; do cp "$f" "$seeds/$(basename "$(dirname "$f")")-$(basename "$f")"; done
  echo "== fuzz_$t for ${seconds}s ($(ls "$seeds" | wc -l) seeds), log build-fuzz/logs/$t.log"
  # -timeout and -rss_limit_mb leave room for a legitimate large input
  # under the sanitizers on a shared machine; a hang or a runaway
  # allocation beyond them is a finding.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -max_len="$(max_len "$t")" -artifact_prefix="build-fuzz/findings/$t-" -print_final_stats=1 \
    "build-fuzz/corpus/$t" "$seeds" >"build-fuzz/logs/$t.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  t="${targets[$i]}"
  if wait "${pids[$i]}"; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/logs/$t.log" | grep -o '[0-9]*$' || true)
    echo "fuzz_$t: no finding, ${runs:-?} runs, $(ls "build-fuzz/corpus/$t" | wc -l) files in its corpus"
  else
    echo "fuzz_$t: FINDING (see build-fuzz/logs/$t.log, input in build-fuzz/findings/)"
    grep -m1 -A30 -E 'ERROR: |runtime error|==[0-9]+==' "build-fuzz/logs/$t.log" || tail -40 "build-fuzz/logs/$t.log"
    status=1
  fi
done
exit $status

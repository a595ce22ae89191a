#!/usr/bin/env bash
# Runs the test suite under valgrind's memcheck, the qxrtf tool the tests
# start included: scripts/valgrind.sh [BUILD_DIR] [GTEST_FILTER]
# Each process writes its own log under BUILD_DIR/valgrind/; the script fails
# when a test fails or any log shows a memory error or a leak. LibreOffice
# and the other programs the tests call (PDF tools, sqlite3, locale, grep,
# cat) are not traced; the shells and `timeout` that start the tool are.
set -euo pipefail
dir=$(realpath "${1:-build}")
filter=${2:-*}
logs="$dir/valgrind"
rm -rf "$logs"
mkdir -p "$logs"
supp="$(dirname "$(realpath "$0")")/valgrind.supp"

start=$(date +%s)
status=0
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \
  --suppressions="$supp" --trace-children=yes \
  --trace-children-skip='*soffice*,*oosplash*,*pdf*,*xdg-open*,*/sqlite3,*/locale,*/grep,*/cat' \
  --log-file="$logs/%p.log" \
  "$dir/tests/qxrtf_tests" --gtest_filter="$filter" --gtest_brief=1 || status=$?

# Leaks count as errors in the summary. A shell that handed over to a
# program not traced (LibreOffice) ends its log without a summary.
bad=$(grep -l 'ERROR SUMMARY: [1-9]' "$logs"/*.log || true)
echo "valgrind: $(ls "$logs" | wc -l) processes traced in $(( $(date +%s) - start )) s"
if [[ -n "$bad" ]]; then
  echo "valgrind found errors or leaks in:"
  for f in $bad; do echo "== $f"; sed -n '1,200p' "$f"; done
  exit 1
fi
exit "$status"

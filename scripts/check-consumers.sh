#!/usr/bin/env bash
# Builds the library as a user would and checks that applications can use
# it three ways: the installed CMake package, pkg-config, and
# add_subdirectory of a copy of the source tree. Each consumer is
# examples/embedding/main.cpp, which includes only <qxrtf/report.h>; its
# output must hold the rendered records. The package and pkg-config ways
# also build examples/embedding/threads.cpp (one template, four threads).
# The loader library is checked the first two ways with examples/loaders:
# a report from a CSV file, and libpq found when a connection is tried.
# The component interface's headers must compile with qxrtf-component.pc.
# Usage: scripts/check-consumers.sh [WORKDIR]   (default: a new temp dir)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
prefix=$work/prefix
gen=(-G Ninja)

expect_in_output() {  # label output wanted...
    local label=$1 out=$2 want
    shift 2
    for want in "$@"; do
        if [[ "$out" != *"$want"* ]]; then
            echo "check-consumers: $label output lacks '$want':" >&2
            echo "$out" >&2
            exit 1
        fi
    done
    echo "check-consumers: $label ok"
}

check_output() {  # binary
    expect_in_output "$1" "$("$1")" 'Orders\par' 'Ada: ' '25.00' 'Brian: ' '14.50' '2 records'
}

check_threads() {  # binary
    expect_in_output "$1" "$("$1")" 'thread 0 item 1 x 1' 'thread 3 item 3 x 3'
}

# The library, installed into a private prefix chosen at install time, not
# when it was configured: the installed files must not depend on that.
cmake -S "$src" -B "$work/lib" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DQXRTF_BUILD_TESTS=OFF -DQXRTF_BUILD_BENCH=OFF -DQXRTF_INSTALL=ON -DQXRTF_WERROR=ON >/dev/null
cmake --build "$work/lib" -j "$(nproc)"
cmake --install "$work/lib" --prefix "$prefix" >/dev/null

# 1. find_package(qxrtf CONFIG).
cmake -S "$src/examples/embedding" -B "$work/pkg" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/pkg" >/dev/null
check_output "$work/pkg/embedding"
check_threads "$work/pkg/threads"

# 2. pkg-config.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib64/pkgconfig:$prefix/share/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
# shellcheck disable=SC2046
c++ -o "$work/pc-embedding" "$src/examples/embedding/main.cpp" $(pkg-config --cflags --libs qxrtf)
check_output "$work/pc-embedding"
# shellcheck disable=SC2046
c++ -o "$work/pc-threads" "$src/examples/embedding/threads.cpp" $(pkg-config --cflags --libs qxrtf)
check_threads "$work/pc-threads"
# An application of qxrtf/report.h needs no JSON library; the component
# interface's headers name its types.
if pkg-config --print-requires qxrtf | grep -q nlohmann; then
    echo "check-consumers: qxrtf.pc requires nlohmann_json" >&2
    exit 1
fi
echo '#include <qxrtf/component.h>' > "$work/component.cpp"
# shellcheck disable=SC2046
c++ -fsyntax-only "$work/component.cpp" $(pkg-config --cflags qxrtf-component)
echo "check-consumers: qxrtf-component ok"

# The loader library, both installed ways.
printf 'NAME,QTY,PRICE\nWidget,2,12.5\nCaf\xc3\xa9 set,3,1.25\n' > "$work/items.csv"
check_loaders() {  # binary
    expect_in_output "$1" "$("$1" "$work/items.csv")" 'Widget: ' '25.00' "Caf\\'E9 set: " '3.75' \
        'PostgreSQL: Dataset PG: cannot connect to PostgreSQL'
}
cmake -S "$src/examples/loaders" -B "$work/pkg-loaders" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/pkg-loaders" >/dev/null
check_loaders "$work/pkg-loaders/loaders"
# shellcheck disable=SC2046
c++ -o "$work/pc-loaders" "$src/examples/loaders/main.cpp" $(pkg-config --cflags --libs qxrtf-loaders)
check_loaders "$work/pc-loaders"

# 3. add_subdirectory of a copy of the repository inside a parent project
#    that has a src/ folder of its own (which the library must not compile).
parent=$work/parent
mkdir -p "$parent/src"
git -C "$src" ls-files -z | (cd "$src" && xargs -0 cp --parents -t "$parent/src" 2>/dev/null) || true
rm -rf "$parent/qxrtf" && mv "$parent/src" "$parent/qxrtf" && mkdir -p "$parent/src"
cp "$src/examples/embedding/main.cpp" "$parent/src/main.cpp"
echo '#error "the parent project'"'"'s own sources must not be compiled by the library"' \
    > "$parent/src/not_ours.cpp"
cat > "$parent/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(parent LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
add_subdirectory(qxrtf)
add_executable(embedding src/main.cpp)
target_link_libraries(embedding PRIVATE qxrtf::qxrtf)
CMAKE
cmake -S "$parent" -B "$work/sub" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/sub" >/dev/null
check_output "$work/sub/embedding"

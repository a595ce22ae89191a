#!/usr/bin/env bash
# A catalogue of 100 product photos (JPEG, about 200 to 800 KB each, made
# with ImageMagick from fixed seeds) rendered through a one-row table
# template: report size, time and peak memory in each picture form. The
# metafile form in binary is what every report wrote before pictures were
# embedded as they are.
#
#   bench/pictures.sh [BUILD_DIR] [COUNT]
#
# Needs GNU time (/usr/bin/time), bc and ImageMagick, which it installs with
# apt-get when missing (a benchmark tool only, not an engine dependency).
# The photos are kept in $TMPDIR/qxrtf-pictures-bench for the next run.
set -euo pipefail
build=${1:-build}
count=${2:-100}
tool="$build/qxrtf"
[ -x "$tool" ] || { echo "no $tool: build first (scripts/build.sh $build)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs GNU time (Debian package time)" >&2; exit 2; }
# /usr/bin/convert: a stand-in elsewhere on PATH may shadow ImageMagick.
magick=/usr/bin/convert
if [ ! -x "$magick" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends imagemagick >/dev/null
fi
photos="${TMPDIR:-/tmp}/qxrtf-pictures-bench"
mkdir -p "$photos"
work=$(mktemp -d "${TMPDIR:-/tmp}/qxrtf-pictures.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "NAME,IMAGE" >"$work/products.csv"
for i in $(seq 1 "$count"); do
    file="$photos/photo$i.jpg"
    width=$((1200 + (i * 37) % 600))
    [ -f "$file" ] || "$magick" -seed "$i" -size "${width}x$((width * 3 / 4))" plasma:fractal \
        -quality 90 "$file"
    echo "Product $i,$file" >>"$work/products.csv"
done
sizes=$(for i in $(seq 1 "$count"); do stat -c %s "$photos/photo$i.jpg"; done | sort -n)
total=$(echo "$sizes" | paste -sd+ | bc)
echo "photos: $count, $((total / 1024)) KB in all, $(( $(echo "$sizes" | head -1) / 1024 )) to" \
     "$(( $(echo "$sizes" | tail -1) / 1024 )) KB each"

cat >"$work/catalogue.rtf" <<'RTF'
{\rtf1\ansi{\fonttbl{\f0 Times New Roman;}}
\paperw11906\paperh16838\margl1134\margr1134
\trowd\trgaph108\cellx1917\cellx9638
\pard\intbl \\SCAN(P)\\\\FIMG(P.IMAGE, 1)\\\cell \\P.NAME\\\cell\row
\pard \\ENDSCAN\\\par}
RTF

run() {
    local name=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time.txt" \
        "$tool" render "$work/catalogue.rtf" -o "$work/$name.rtf" --csv P="$work/products.csv" \
        --picture 1=30mm "$@"
    read -r seconds kb <"$work/time.txt"
    local bytes
    bytes=$(stat -c %s "$work/$name.rtf")
    printf '%-22s %8.1f MB  %5.2fx photos  %6.2f s  %6.1f MB peak\n' "$name" \
        "$(echo "$bytes / 1048576" | bc -l)" "$(echo "$bytes / $total" | bc -l)" "$seconds" \
        "$(echo "$kb / 1024" | bc -l)"
}

run native-hex
run native-binary --option eoGraphicsBinary
run metafile-hex --pictures metafile
run metafile-binary --pictures metafile --option eoGraphicsBinary

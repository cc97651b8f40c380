#!/usr/bin/env bash
# Whole-process timing of filterhost next to the netpbm converter doing the
# same conversion, for GEM IMG and MacPaint, reported as ratios (filterhost
# time / netpbm time; below 1 means filterhost is faster). Also times the
# scaled GEM import (--fit) at three heights to show that it stays linear.
#
# usage: bench/gem_mac_vs_netpbm.sh [build-dir] [size]   (default build, 4096)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
size=${2:-4096}
fh="$build/bin/filterhost"
[ -x "$fh" ] || { echo "build filterhost first ($fh)"; exit 1; }
for t in pbmtogem gemtopbm gemtopnm pbmtomacp macptopbm pgmnoise pamtopnm; do
  command -v "$t" >/dev/null || { echo "netpbm tool $t missing"; exit 1; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# Best of 3 wall-clock runs, in seconds.
best() {
  local b=""
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    e=$(date +%s.%N)
    b=$(awk -v b="$b" -v t="$(echo "$e - $s" | bc)" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$b"
}
row() {  # name ours theirs
  awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%-34s %9.3f s %9.3f s   ratio %5.2f\n", n, a, b, a / b }'
}

# A document-like page: mostly white with black specks. (pbmtogem writes a
# literal of 256 bytes with the count 0, which neither reader takes, so the
# page must not be noise from edge to edge.)
pgmnoise "$size" "$size" -randomseed 1 | pamthreshold -simple -threshold 0.97 2>/dev/null | pamtopnm >"$dir/page.pbm" ||
  pgmnoise "$size" "$size" | pgmtopbm -threshold -value 0.97 >"$dir/page.pbm"
pgmramp -lr "$size" "$size" >"$dir/grey.pgm"
ppmrainbow -width "$size" -height "$size" red green blue >"$dir/colour.ppm"
"$fh" convert "$dir/grey.pgm" "$dir/grey.img" --quiet
"$fh" convert "$dir/colour.ppm" "$dir/colour.img" --quiet
pbmtogem "$dir/page.pbm" >"$dir/page.img"

printf "%-34s %11s %11s\n" "conversion (${size}x${size})" filterhost netpbm
row "PBM -> GEM 1 bit" \
  "$(best "$fh" convert "$dir/page.pbm" "$dir/o1.img" --quiet)" \
  "$(best sh -c "pbmtogem $dir/page.pbm > $dir/n1.img")"
row "GEM 1 bit -> PBM" \
  "$(best "$fh" convert "$dir/page.img" "$dir/o1.pbm" --quiet)" \
  "$(best sh -c "gemtopbm $dir/page.img > $dir/n1.pbm")"
row "GEM 8 bit grey -> PGM (peer: copy)" \
  "$(best "$fh" convert "$dir/grey.img" "$dir/o8.pgm" --quiet)" \
  "$(best sh -c "pamtopnm $dir/grey.pgm > $dir/n8.pgm")"
row "GEM 24 bit -> PPM (peer: copy)" \
  "$(best "$fh" convert "$dir/colour.img" "$dir/o24.ppm" --quiet)" \
  "$(best sh -c "pamtopnm $dir/colour.ppm > $dir/n24.ppm")"
row "PGM -> GEM 8 bit (peer: copy)" \
  "$(best "$fh" convert "$dir/grey.pgm" "$dir/o8.img" --quiet)" \
  "$(best sh -c "pamtopnm $dir/grey.pgm > $dir/n8b.pgm")"
row "PPM -> GEM 24 bit (peer: copy)" \
  "$(best "$fh" convert "$dir/colour.ppm" "$dir/o24.img" --quiet)" \
  "$(best sh -c "pamtopnm $dir/colour.ppm > $dir/n24b.ppm")"

pamcut -width 576 -height 720 "$dir/page.pbm" >"$dir/mac.pbm"
pbmtomacp "$dir/mac.pbm" >"$dir/page.mac"
row "PBM -> MacPaint" \
  "$(best "$fh" convert "$dir/mac.pbm" "$dir/o.mac" --quiet)" \
  "$(best sh -c "pbmtomacp $dir/mac.pbm > $dir/n.mac")"
row "MacPaint -> PBM" \
  "$(best "$fh" convert "$dir/page.mac" "$dir/om.pbm" --quiet)" \
  "$(best sh -c "macptopbm $dir/page.mac > $dir/nm.pbm")"

echo
echo "scaled GEM import (--fit to a quarter width, half height), 1 bit:"
for h in $((size / 4)) $((size / 2)) "$size"; do
  pamcut -height "$h" "$dir/page.pbm" | pbmtogem >"$dir/h$h.img"
  t=$(best "$fh" convert "$dir/h$h.img" "$dir/h$h.pbm" --fit $((size / 4)),$((h / 2)) --quiet)
  awk -v h="$h" -v t="$t" 'BEGIN { printf "  height %6d  %8.3f s  %8.2f us per source line\n", h, t, t * 1e6 / h }'
done

#!/usr/bin/env bash
# Builds the real-file fixtures of the rsrcxchg tests: BMP files written by
# ImageMagick (and rewritten by rsrc_fixture_tool where ImageMagick has no
# such form), embedded with windres into resource-only PE DLLs, 32 and 64 bit.
#   make_fixtures.sh OUTDIR FIXTURE_TOOL CONVERT
set -euo pipefail
out=$1 tool=$2 convert=$3
src=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

"$convert" -size 37x23 -seed 4 plasma: source.png
"$convert" -size 40x9 -seed 9 plasma: source40.png
"$convert" source.png -monochrome BMP3:bits1.bmp
"$convert" source.png -colors 16 BMP3:bits4.bmp
"$convert" source.png -colors 200 BMP3:bits8.bmp
"$convert" source.png -type truecolor BMP3:bits24.bmp
"$convert" source.png -colors 200 -compress RLE BMP3:rle8.bmp
"$convert" source40.png -colors 90 -compress RLE BMP3:rle8w40.bmp
"$tool" rle4 bits4.bmp rle4.bmp
"$tool" fields16 bits24.bmp fields16.bmp fields16.ppm
"$tool" fields32 bits24.bmp fields32.bmp
"$tool" topdown bits24.bmp topdown24.bmp
"$tool" plain32 bits24.bmp plain32.bmp
for b in bits1 bits4 bits8 bits24 rle8 rle8w40 rle4 fields32 topdown24 plain32; do
  "$convert" $b.bmp -alpha off -depth 8 $b.ppm
done

# Resource order in a PE directory: named entries (sorted) before numeric
# ones (ascending), languages ascending; the manifest lists the bitmaps in
# that order with the reference each must equal.
cp "$src/bitmaps.rc" bitmaps.rc
cat > manifest.txt <<'LIST'
ALPHA/1031 rle8
ALPHA/1033 bits8
BETA/1033 rle4
1 bits1
2 bits4
3/1031 bits24
3/1033 bits8
4 bits24
5 rle8
6 rle4
7 fields16
8 fields32
9 topdown24
10 rle8w40
11 plain32
LIST

x86_64-w64-mingw32-windres bitmaps.rc -O coff -o bitmaps64.o
x86_64-w64-mingw32-ld --dll -e 0 -o bitmaps64.dll bitmaps64.o
i686-w64-mingw32-windres bitmaps.rc -O coff -o bitmaps32.o
i686-w64-mingw32-ld --dll -e 0 -o bitmaps32.dll bitmaps32.o

#!/usr/bin/env bash
# Opens and saves WebP files through a shipping plug-in, WebPShop 0.2.1, run
# by plughost.dll under Wine as a user runs it: filterhost.exe with the
# plug-in in a folder (--plugins), nothing configured by hand. The WebP files
# are written here with cwebp and img2webp, and libwebp's own decoder (dwebp)
# is the reference:
# - imports (lossless and lossy, with and without alpha) give dwebp's colour
#   exactly, and its alpha plane exactly as image 2;
# - each frame of a lossless animation (colour and alpha, --index N) equals
#   the frame the test wrote;
# - saves of an RGB and an RGB-with-alpha image at the default settings
#   decode to the same size at 30 dB or better, and with 'wrtl' 100 exactly
#   (colour where alpha is not 0, lossless WebP may drop colour under full
#   transparency; alpha everywhere).
#
#   webpshop_test.sh BUILD_DIR x64|x86   (WINEPREFIX set, Wine server running)
#
# Every check runs and is reported; the status is 1 when any failed, 77 when
# the tools are missing or this Wine cannot run the build.
set -uo pipefail
build=$(cd "$1" && pwd)
arch=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-wine}  # the loader scripts/wine-env.sh picks, when set
# A plug-in that crashes ends its process at once, without Wine's debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
for tool in "$wine" cwebp img2webp dwebp pnmtopng pamchannel pamtopnm; do
  command -v $tool >/dev/null || { echo "webpshop $arch: skipped, no $tool"; exit 77; }
done
work=$build/webpshop_$arch
rm -rf "$work"
mkdir -p "$work/plugins"
cp "$source_dir/tests/data/webpshop/$arch/WebPShop.8bi" "$work/plugins/"
cd "$work"
log=$work/log.txt
: >"$log"

filterhost() {
  echo "filterhost $*" >>"$log"
  "$wine" "$build/bin/filterhost.exe" --quiet --plugins plugins "$@" 2>>"$log" | tr -d '\r'
}
convert() { filterhost convert "$@" >>"$log"; }
if ! filterhost --version >/dev/null; then
  echo "webpshop $arch: skipped, this Wine does not run $build/bin/filterhost.exe"
  exit 77
fi

# An image of W x H in plain PNM: colour (P3) or alpha (P2) from awk
# expressions of x, y and the frame number f; smooth, so that lossy WebP
# keeps it well.
picture() {  # kind(colour|alpha) w h f
  awk -v kind="$1" -v w="$2" -v h="$3" -v f="$4" 'BEGIN {
    print (kind == "colour" ? "P3" : "P2"); print w, h; print 255
    for (y = 0; y < h; ++y) for (x = 0; x < w; ++x) {
      if (kind == "colour") {
        r = int(255 * x / (w - 1) + 40 * f) % 256; g = int(255 * y / (h - 1))
        b = int(128 + 100 * sin(x / 6 + f) * cos(y / 5))
        print r, g, b
      } else if (f == 0) {  # a transparent quarter, then a ramp
        print (x < w / 4 ? 0 : int(255 * (x - w / 4) / (w - 1 - w / 4)))
      } else {  # frames: never transparent
        print 64 + (x + y + 10 * f) % 192
      }
    }}'
}
png() {  # name f with_alpha; keeps the plain PNM files beside the PNG
  picture colour 67 45 "$2" >"$1.ppm"
  if [ "$3" = 1 ]; then
    picture alpha 67 45 "$2" >"$1.alpha.pgm"
    pnmtopng -alpha="$1.alpha.pgm" "$1.ppm" >"$1.png"
  else
    pnmtopng "$1.ppm" >"$1.png"
  fi
}
# Colour and alpha of a WebP file as dwebp decodes them, as plain PNM.
reference() {  # webp prefix
  dwebp -quiet "$1" -pam -o "$2.pam" &&
    pamchannel -infile "$2.pam" -tupletype RGB 0 1 2 | pamtopnm -plain >"$2.ppm" &&
    pamchannel -infile "$2.pam" -tupletype GRAYSCALE 3 | pamtopnm -plain >"$2.alpha.pgm"
}
# "MAX PSNR" of two plain PNM files of one size (largest sample difference,
# PSNR in dB or inf), over the pixels where the plain PGM mask is not 0;
# "size" when their sizes differ.
measure() {  # a b [mask]
  awk -v A="$1" -v B="$2" -v M="${3:-}" '
    function load(file, v,   n, line, t, i, k) {
      n = 0
      while ((getline line < file) > 0) { k = split(line, t); for (i = 1; i <= k; ++i) v[++n] = t[i] }
      close(file); return n
    }
    BEGIN {
      na = load(A, a); nb = load(B, b)
      if (na < 4 || na != nb || a[2] != b[2] || a[3] != b[3]) { print "size"; exit }
      if (M != "") load(M, m)
      channels = a[1] == "P3" ? 3 : 1; n = 0; se = 0; max = 0
      for (i = 5; i <= na; ++i) {
        if (M != "" && m[5 + int((i - 5) / channels)] == 0) continue
        d = a[i] - b[i]; if (d < 0) d = -d
        if (d > max) max = d
        se += d * d; ++n
      }
      print max, (se == 0 ? "inf" : sprintf("%.2f", 10 * log(255 * 255 * n / se) / log(10)))
    }'
}
plain() { pamtopnm -plain "$1" 2>>"$log"; }

passed=0
failed=0
report() {  # name ok detail
  if [ "$2" = 1 ]; then
    passed=$((passed + 1)); echo "  ok   $1"
  else
    failed=$((failed + 1)); echo "  FAIL $1${3:+: $3}"
  fi
}
# A check that the file equals (exactly) or comes near (PSNR) the reference.
compare() {  # name file reference exact|psnr [mask]
  local got
  if [ ! -s "$2" ]; then report "$1" 0 "not written (see $log)"; return; fi
  got=$(measure <(plain "$2") "$3" "${5:-}")
  case $4:$got in
    exact:"0 inf"|psnr:*" inf") report "$1" 1 ;;
    psnr:size|exact:*) report "$1" 0 "$got (largest difference, dB)" ;;
    psnr:*) report "$1" "$(awk -v p="${got#* }" 'BEGIN { print (p >= 30) }')" "${got#* } dB" ;;
  esac
}

echo "webpshop $arch: WebPShop 0.2.1 through $build/bin/filterhost.exe under Wine"
listed=$(filterhost formats)
report "formats lists the plug-in" "$(echo "$listed" | grep -Eq '^plug-in +WebP +\*\.webp' && echo 1)"

# Imports.
png rgb 0 0
png rgba 0 1
cwebp -quiet -lossless -exact rgb.png -o lossless_rgb.webp
cwebp -quiet -lossless -exact rgba.png -o lossless_rgba.webp
cwebp -quiet -q 80 rgb.png -o lossy_rgb.webp
cwebp -quiet -q 80 rgba.png -o lossy_rgba.webp
for kind in lossless_rgb lossless_rgba lossy_rgb lossy_rgba; do
  reference $kind.webp ref_$kind
  convert $kind.webp $kind.ppm
  compare "open $kind.webp: colour as dwebp's" $kind.ppm ref_$kind.ppm exact
  if [ "${kind%_rgba}" != "$kind" ]; then
    convert $kind.webp $kind.alpha.pgm --index 2
    compare "open $kind.webp: alpha (image 2) as dwebp's" $kind.alpha.pgm ref_$kind.alpha.pgm exact
  fi
done

# A lossless animation of three full-size frames.
frames=()
for f in 1 2 3; do
  png frame$f $f 1
  frames+=(frame$f.png)
done
img2webp -lossless -d 100 "${frames[@]}" -o anim.webp >>"$log" 2>&1
# Frames with alpha: image 2f-1 is frame f's colour, image 2f its alpha.
for f in 1 2 3; do
  convert anim.webp anim$f.ppm --index $((2 * f - 1))
  compare "open anim.webp --index $((2 * f - 1)): frame $f" anim$f.ppm frame$f.ppm exact
  convert anim.webp anim$f.alpha.pgm --index $((2 * f))
  compare "open anim.webp --index $((2 * f)): frame $f's alpha" anim$f.alpha.pgm \
    frame$f.alpha.pgm exact
done

# Saves at the default settings, and lossless.
for kind in rgb rgba; do
  mask=()
  [ $kind = rgba ] && mask=(rgba.alpha.pgm)
  for setting in default wrtl=100; do
    out=save_${kind}_${setting%%=*}.webp
    option=()
    [ $setting != default ] && option=(--plugin-setting $setting)
    convert $kind.png $out "${option[@]}"
    if [ ! -s $out ]; then
      report "save $kind.png as $out" 0 "not written (see $log)"
      continue
    fi
    if ! reference $out dec_${out%.webp} 2>>"$log"; then
      report "save $kind.png as $out" 0 "dwebp cannot decode it (see $log)"
      continue
    fi
    how=psnr
    [ $setting != default ] && how=exact
    compare "save $kind.png ($setting): colour" dec_${out%.webp}.ppm $kind.ppm $how "${mask[@]}"
    [ $kind = rgba ] &&
      compare "save $kind.png ($setting): alpha" dec_${out%.webp}.alpha.pgm rgba.alpha.pgm $how
  done
done

echo "webpshop $arch under Wine: $passed passed, $failed failed"
[ $failed -eq 0 ]

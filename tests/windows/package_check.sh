#!/usr/bin/env bash
# Checks a Windows release zip (-win32 or -win64): it holds exactly the
# expected files, its VERSION.txt matches its name, its programs and DLLs
# are built for the zip's architecture, and a C host builds for that
# architecture against the zip's own header; under Wine every DLL of the
# unpacked zip loads in that host, and the zip's filterhost.exe finds and
# lists all five modules.
#
#   package_check.sh ZIP             (WINEPREFIX and WINE set, as
#                                     scripts/wine-env.sh does; Wine server running)
#   package_check.sh --no-wine ZIP   (all but the runs under Wine)
set -euo pipefail
run=1
[ "$1" = --no-wine ] && { run=0; shift; }
zip=$1
name=$(basename "$zip" .zip)
version=${name#filters-}
case "$version" in
  *-win32) version=${version%-win32}; prefix=i686-w64-mingw32; format=pei-i386 ;;
  *-win64) version=${version%-win64}; prefix=x86_64-w64-mingw32; format=pei-x86-64 ;;
  *) echo "$zip: not a -win32 or -win64 release zip" >&2; exit 1 ;;
esac
wine=${WINE:-wine}
modules="gemxchg paintxchg plughost pngxchg rsrcxchg"
expected=$( (for f in LICENSE THIRD-PARTY-NOTICES.txt VERSION.txt host-integration.md \
  bin/filterhost.exe include/filters/filter.h; do echo "$name/$f"; done
  for m in $modules; do echo "$name/lib/filters/$m.dll"; done) | sort)
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
if [ "$listed" != "$expected" ]; then
  echo "$zip holds:"; echo "$listed"; echo "expected:"; echo "$expected"; exit 1
fi
echo "$zip: $(echo "$listed" | wc -l) files as expected"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
top=$dir/$name
[ "$(cat "$top/VERSION.txt")" = "$version" ]
# Every program and DLL is built for the zip's architecture.
for f in "$top/bin/filterhost.exe" $(for m in $modules; do echo "$top/lib/filters/$m.dll"; done); do
  "$prefix-objdump" -f "$f" | grep -q "file format $format\$" ||
    { echo "${f#$dir/} is not a $format image"; exit 1; }
done
"$prefix-gcc" -std=c11 -Wall -Wextra -pedantic -Werror -I"$top/include" -static \
  "$(dirname "$0")/package_host.c" -o "$dir/package_host.exe"
if [ $run = 0 ]; then
  echo "$zip: a C host builds against its header (not run under Wine)"
  exit 0
fi
(cd "$top" && "$wine" "$dir/package_host.exe" $(for m in $modules; do echo "lib\\filters\\$m.dll"; done))
formats=$("$wine" "$top/bin/filterhost.exe" formats | tr -d '\r')
[ "$(echo "$formats" | grep -c 'caps 0x')" = 5 ] || { echo "$formats"; exit 1; }
echo "filterhost.exe from the zip lists the five modules"

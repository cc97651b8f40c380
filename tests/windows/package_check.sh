#!/usr/bin/env bash
# Checks the Windows release zip: it holds exactly the expected files, its
# VERSION.txt matches its name, and under Wine every DLL of the unpacked zip
# loads in a C host built against the zip's own header, and the zip's
# filterhost.exe finds and lists all five modules.
#
#   package_check.sh ZIP   (WINEPREFIX set, Wine server running)
set -euo pipefail
zip=$1
name=$(basename "$zip" .zip)
version=${name#filters-}
version=${version%-win32}
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
i686-w64-mingw32-gcc -std=c11 -Wall -Wextra -pedantic -Werror -I"$top/include" -static \
  "$(dirname "$0")/package_host.c" -o "$dir/package_host.exe"
(cd "$top" && wine "$dir/package_host.exe" $(for m in $modules; do echo "lib\\filters\\$m.dll"; done))
formats=$(wine "$top/bin/filterhost.exe" formats | tr -d '\r')
[ "$(echo "$formats" | grep -c 'caps 0x')" = 5 ] || { echo "$formats"; exit 1; }
echo "filterhost.exe from the zip lists the five modules"

#!/usr/bin/env bash
# Plays the user of pngxchg.dll's "PNG Options" dialog under Wine: for each
# case options_dialog_host.exe runs FE_OPTIONS with a prepared settings file,
# this script finds the dialog window, types keys (Alt+I toggles the check
# box, Enter is OK, Esc is Cancel, F1 asks for help) or clicks (the close
# box, a right click), and then compares the settings file byte for byte and
# the host's lines (the box as the dialog opened, result and errorCode, the
# interlace byte of the export that follows, the help requests) with what the
# case expects.
#
#   tests/windows/options_dialog_test.sh [BUILD_DIR] [--screenshot FILE.png]
#
# BUILD_DIR is a cross build (default build-win; build-win64 for the 64-bit
# DLLs) with options_dialog_host built. Without DISPLAY the script runs
# itself under xvfb-run. It uses the Wine of that build's architecture and
# its prefix BUILD_DIR/_wine (scripts/wine-env.sh), and restarts its Wine
# server on this display.
# Every wait is bounded, so a dialog that never shows fails the case instead
# of hanging.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" "$0" "$@"
fi
build="build-win"
screenshot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) screenshot=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
host_exe=$build/bin/options_dialog_host.exe
. scripts/wine-env.sh "$build"
work=$(mktemp -d)
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A Wine server started without this display would keep its desktop off it.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
"$WINE" wineboot.exe -i </dev/null >/dev/null 2>&1
# Xvfb has no window manager: Wine draws the caption itself and keeps its
# windows unmanaged (a managed window waits two seconds for a window manager
# to confirm that it was hidden).
for setting in Decorated Managed; do
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v $setting /d N /f >/dev/null 2>&1
done

# The dialog's X window, once mapped; empty when the host process PID ended
# first or after about 20 seconds.
find_dialog() {
  local pid=$1 w
  for _ in $(seq 1 80); do
    kill -0 "$pid" 2>/dev/null || return 0
    w=$(xdotool search --onlyvisible --name '^PNG Options$' 2>/dev/null | head -1 || true)
    if [ -n "$w" ]; then echo "$w"; return; fi
    sleep 0.25
  done
}

window_size() { xdotool getwindowgeometry --shell "$1" | sed -n "s/^$2=//p"; }

crlf() { printf '%s\r\n' "$@"; }


passed=0
failed=0
# run_case NAME BEFORE KEYS AFTER HOST_LINE
#   BEFORE, AFTER: the settings file's lines joined with "|"; "none" for no
#   file. BEFORE "null": the host passes no settings file at all. KEYS: xdotool
#   key names; "shot" takes the screenshot, "closebox" clicks the close box,
#   "rightclick" right-clicks the dialog. HOST_LINE: lines joined with "|".
run_case() {
  local name=$1 initial=$2 keys=$3 expected=$4 line=$5
  local ini=$work/$passed-$failed.ini arg out=$work/out.txt
  rm -f "$ini" "$out"
  arg="Z:${ini//\//\\}"
  case "$initial" in
    none) ;;
    null) arg=- ;;
    *) IFS='|' read -ra lines <<<"$initial"; crlf "${lines[@]}" >"$ini" ;;
  esac
  timeout 40 "$WINE" "$host_exe" "$arg" >"$out" 2>&1 &
  local pid=$! w problem=""
  w=$(find_dialog "$pid")
  if [ -z "$w" ]; then
    if kill "$pid" 2>/dev/null; then
      problem="the dialog did not show"
    else
      problem="the host ended before its dialog showed: $(cat "$out")"
    fi
  else
    xdotool windowfocus --sync "$w" 2>/dev/null || true
    sleep 0.3
    local k
    for k in $keys; do
      if [ "$k" = shot ]; then
        [ -z "$screenshot" ] || import -window "$w" "$screenshot"
      elif [ "$k" = closebox ]; then
        # The close box at the right end of the caption that Wine draws.
        xdotool mousemove --window "$w" $(($(window_size "$w" WIDTH) - 10)) 10 click 1
        sleep 0.2
      elif [ "$k" = rightclick ]; then
        # An empty spot of the dialog's client area, bottom left.
        xdotool mousemove --window "$w" 12 $(($(window_size "$w" HEIGHT) - 12)) click 3
        sleep 0.2
      else
        xdotool key --clearmodifiers "$k"
        sleep 0.2
      fi
    done
  fi
  wait "$pid" || problem=${problem:-"the host ended with status $?"}
  local got want
  got=$(tr -d '\r' <"$out")
  want=${line//|/$'\n'}
  [ -z "$problem" ] && [ "$got" != "$want" ] && problem="host printed '$got', expected '$want'"
  if [ -z "$problem" ]; then
    if [ "$expected" = none ]; then
      [ -e "$ini" ] && problem="a settings file was written"
    else
      IFS='|' read -ra lines <<<"$expected"
      crlf "${lines[@]}" >"$work/expected.ini"
      cmp -s "$ini" "$work/expected.ini" || problem="settings file is '$(od -c "$ini" 2>&1 | head -3)'"
    fi
  fi
  if [ -z "$problem" ]; then
    passed=$((passed + 1))
  else
    echo "options dialog, $name: FAILED: $problem"
    failed=$((failed + 1))
  fi
}

# The host's first line: the box as the dialog opened, with context help.
ticked='opened box=1 contexthelp=1|'
clear='opened box=0 contexthelp=1|'
ok='result=1 errorCode=0'
cancelled='result=0 errorCode=24862'
section='[PNG Filter]'
# name | settings before | keys | settings after | host line
run_case "tick, OK, new file" none "alt+i shot Return" "$section|Interlace=1" \
  "$clear$ok interlace=1"
run_case "OK without change" "$section|Interlace=1" "Return" "$section|Interlace=1" \
  "$ticked$ok interlace=1"
run_case "untick, OK" "$section|Interlace=1" "alt+i Return" "$section|Interlace=0" \
  "$ticked$ok interlace=0"
run_case "space on the focused box" "$section|Interlace=0" "space Return" "$section|Interlace=1" \
  "$clear$ok interlace=1"
run_case "stored 257 opens ticked" "$section|Interlace=257" "Return" "$section|Interlace=1" \
  "$ticked$ok interlace=1"
run_case "stored 2 opens clear" "$section|Interlace=2" "Return" "$section|Interlace=0" \
  "$clear$ok interlace=0"
# Cancel keeps the file and the value read from it, other sections included.
run_case "tick, Cancel" "[Other]|Interlace=5|$section|Interlace=0" "alt+i Escape" \
  "[Other]|Interlace=5|$section|Interlace=0" "$clear$cancelled interlace=0"
run_case "untick, Cancel" "$section|Interlace=1" "alt+i Escape" "$section|Interlace=1" \
  "$ticked$cancelled interlace=1"
run_case "tick, close box" "$section|Interlace=0" "alt+i closebox" "$section|Interlace=0" \
  "$clear$cancelled interlace=0"
# Context help goes to the host's services with the help path it gave and
# the help map 100.
run_case "F1" "$section|Interlace=1" "F1 Return" "$section|Interlace=1" \
  "$ticked$ok interlace=1|help contextHelp C:\\help\\png.hlp 100"
run_case "right click" none "rightclick Escape" none \
  "$clear$cancelled interlace=0|help contextMenuHelp C:\\help\\png.hlp 100"
run_case "Cancel, no file" none "Escape" none "$clear$cancelled interlace=0"
run_case "no settings file" null "alt+i Return" none "$clear$ok interlace=1"
# Without a settings file nothing may land in win.ini, where Windows puts
# profile calls without a file name.
if grep -qs 'PNG Filter' "$WINEPREFIX/drive_c/windows/win.ini"; then
  echo "options dialog: FAILED: the choice was written to win.ini"
  failed=$((failed + 1))
else
  passed=$((passed + 1))
fi
echo "options dialog under $FILTERS_WIN_ARCH Wine: $passed passed, $failed failed"
[ $failed -eq 0 ]

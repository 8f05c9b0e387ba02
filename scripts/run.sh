#!/usr/bin/env bash
# Runs the monitor against a local sensor host daemon: installs what is missing, builds,
# starts qrvld (on the machine's hardware-monitor chips; when `qrvld --list` finds none, as
# `qrvld --source sim`, whose simulated chip has made-up values, and says so) and
# QRVLGRPH.exe under wine, on $DISPLAY or, without one, in a private Xvfb display. A
# screenshot of the display is written every few seconds. Ends when the monitor ends (its
# context menu, its exit button, Enter or Esc) or on Ctrl-C, with everything it started.
#
# usage: scripts/run.sh [--arch i686|x86_64] [SECTION]
#   --arch     the build to run: i686, what users download (the default where this
#              machine runs 32-bit programs), or x86_64
#   SECTION    the profile section (the monitor's command line)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
arch=
if [ "${1:-}" = --arch ]; then
  arch=${2:-}
  shift 2 || true
  case $arch in
    i686 | x86_64) ;;
    *) echo "run: --arch takes i686 or x86_64, not \"$arch\"" >&2; exit 2 ;;
  esac
fi
section=${*:-QRVGRPH}

echo "run: builds what is missing; the first start also prepares a wine prefix, which takes a while"
scripts/setup.sh
# Some kernels execute no 32-bit programs, and so no i686 build under wine.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  case $arch in
    i686) echo "run: this machine cannot run 32-bit programs (/usr/lib/wine/wine); --arch x86_64 runs the other build" >&2; exit 1 ;;
    "") arch=x86_64; echo "run: this machine cannot run 32-bit programs; running the x86_64 build" ;;
  esac
fi
: "${arch:=i686}"
for preset in native "$arch"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

# qrvld serves made-up readings only when told to: the simulated chip is asked for here
# only when --list finds no hardware-monitor chip.
qrvld=$root/build/native/daemon/qrvld
qrvld_source=hwmon
if ! "$qrvld" --list >/dev/null 2>&1; then
  qrvld_source=sim
  echo "run: qrvld --list finds no hardware-monitor chip; running qrvld --source sim (made-up readings)"
fi

# A wine session and a profile of its own, apart from the tests'.
wine_dir=$root/build/run
mkdir -p "$wine_dir"
cp "$root/build/$arch"/wine/wine-*.sh "$wine_dir"/
shot=$root/build/monitor-screenshot.png
if [ -n "${DISPLAY:-}" ]; then export QRVL_TEST_DISPLAY=$DISPLAY; fi

qrvld_pid= shooter_pid= monitor_pid=
cleanup() {
  trap - EXIT INT TERM
  for pid in $shooter_pid $monitor_pid $qrvld_pid; do kill "$pid" 2>/dev/null || true; done
  # Ends every wine process of the session, then the window manager and the display.
  "$wine_dir/wine-session.sh" stop
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'echo "run: interrupted"; exit 130' INT TERM

"$wine_dir/wine-session.sh" start >/dev/null
display=$(cat "$wine_dir/display")

# A first run gets settings that suit the simulated chip: scales that hold its values, a
# reading a second, and a place clear of the notification area's window.
ini=$wine_dir/prefix/drive_c/windows/QRVLGRPH.INI
if ! grep -qF "[$section]" "$ini" 2>/dev/null; then
  printf '[%s]\r\nMonitorTimer=1\r\nDelayTimer=0\r\nCPUTempMax=70\r\nCPUTempMin=20\r\nVcoreMax=15\r\nVcoreMin=10\r\nVTTMax=12\r\nVTTMin=9\r\nVioMax=36\r\nVioMin=30\r\nLeft=60\r\nTop=200\r\nRight=507\r\nBottom=360\r\n' \
    "$section" >>"$ini"
fi

"$qrvld" --source "$qrvld_source" &
qrvld_pid=$!

echo "run: the $arch monitor on display $display; a screenshot every 5 s in $shot; Ctrl-C ends it all"
( while sleep 5; do DISPLAY=$display import -window root "$shot.tmp.png" 2>/dev/null && mv "$shot.tmp.png" "$shot"; done ) &
shooter_pid=$!

# In the background, so that Ctrl-C is handled at once rather than after the monitor ends.
"$wine_dir/wine-run.sh" "$root/build/$arch/bin/QRVLGRPH.exe" "$@" &
monitor_pid=$!
wait "$monitor_pid" || true
monitor_pid=
echo "run: the monitor has ended; its settings are in $ini"

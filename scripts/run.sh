#!/usr/bin/env bash
# Runs the monitor against a local sensor host daemon: installs what is missing, builds,
# starts qrvld (on the machine's hardware-monitor chips; when `qrvld --list` finds none, as
# `qrvld --source sim`, whose simulated chip has made-up values, and says so) and
# QRVLGRPH.exe under wine, on $DISPLAY or, without one, in a private Xvfb display. A
# screenshot of the display is written every few seconds. Ends when the monitor ends (its
# context menu, its exit button, Enter or Esc) or on Ctrl-C.
#
# usage: scripts/run.sh [SECTION]   SECTION: the profile section (the monitor's command line)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
for preset in native x86_64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

# A wine session of its own, apart from the tests' one.
wine_dir=$root/build/run
mkdir -p "$wine_dir"
cp "$root"/build/x86_64/wine/wine-*.sh "$wine_dir"/
shot=$root/build/monitor-screenshot.png
if [ -n "${DISPLAY:-}" ]; then export QRVL_TEST_DISPLAY=$DISPLAY; fi
"$wine_dir/wine-session.sh" start >/dev/null
display=$(cat "$wine_dir/display")

# qrvld serves made-up readings only when told to: the simulated chip is asked for here
# only when --list finds no hardware-monitor chip.
qrvld=$root/build/native/daemon/qrvld
qrvld_source=hwmon
if ! "$qrvld" --list >/dev/null 2>&1; then
  qrvld_source=sim
  echo "run: qrvld --list finds no hardware-monitor chip; running qrvld --source sim (made-up readings)"
fi
"$qrvld" --source "$qrvld_source" &
qrvld_pid=$!

shooter_pid=
cleanup() {
  [ -n "$shooter_pid" ] && kill "$shooter_pid" 2>/dev/null || true
  kill "$qrvld_pid" 2>/dev/null || true
  wait "$qrvld_pid" 2>/dev/null || true
  "$wine_dir/wine-session.sh" stop
}
trap cleanup EXIT INT TERM

echo "run: monitor on display $display; a screenshot every 5 s in $shot"
( while sleep 5; do DISPLAY=$display import -window root "$shot.tmp.png" 2>/dev/null && mv "$shot.tmp.png" "$shot"; done ) &
shooter_pid=$!

"$wine_dir/wine-run.sh" "$root/build/x86_64/bin/QRVLGRPH.exe" "$@"
echo "run: the monitor has ended; its settings are in $wine_dir/prefix/drive_c/windows/QRVLGRPH.INI"

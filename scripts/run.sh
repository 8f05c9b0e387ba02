#!/usr/bin/env bash
# Runs the monitor against a local sensor host daemon: installs what is missing, builds,
# starts qrvld (the machine's hardware-monitor chips when it has any, the simulated chip
# otherwise) and QRVLGRPH.exe under wine, on $DISPLAY or, without one, in a private Xvfb
# display. A screenshot of the display is written every few seconds. Ends when the
# monitor ends (its context menu, its exit button, Enter or Esc) or on Ctrl-C.
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

wine_dir=$root/build/x86_64/wine
shot=$root/build/monitor-screenshot.png
if [ -n "${DISPLAY:-}" ]; then export QRVL_TEST_DISPLAY=$DISPLAY; fi
"$wine_dir/wine-session.sh" start >/dev/null
display=$(cat "$wine_dir/display")

qrvld=$root/build/native/daemon/qrvld
if [ -n "$(ls -A /sys/class/hwmon 2>/dev/null)" ] && "$qrvld" --source hwmon --check >/dev/null 2>&1; then
  source=hwmon
  echo "run: qrvld reads this machine's hardware-monitor chips"
else
  source=sim
  echo "run: no hardware-monitor chip here: qrvld serves its simulated chip"
fi
"$qrvld" --source "$source" &
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

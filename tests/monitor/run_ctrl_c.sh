#!/bin/sh
# Ctrl-C on scripts/run.sh (SIGINT to its process group) ends the monitor, the daemon and
# the display it started within a few seconds.
# usage: run_ctrl_c.sh SOURCE_DIR ARCH
set -u
root=$1 arch=$2
log=$(mktemp)
. "$root/tests/support/wait-until.sh"
unset DISPLAY QRVL_TEST_DISPLAY
# Its own session and process group, as a terminal would give it, and Ctrl-C not ignored
# (a shell's background job starts with it ignored).
python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.setsid(); os.execv(sys.argv[1], sys.argv[1:])' \
  "$root/scripts/run.sh" --arch "$arch" >"$log" 2>&1 </dev/null &
run=$!
fail() { echo "run_ctrl_c: $*" >&2; cat "$log" >&2; /bin/kill -s KILL -- "-$run" 2>/dev/null; "$root/build/run/wine-session.sh" stop; exit 1; }

# Past its builds (whose commands name the program too), run.sh says when it starts the monitor.
started() { grep -q "^run: the $arch monitor on display" "$log" && pgrep -f "$root/build/$arch/bin/QRVLGRPH.exe" >/dev/null; }
started_or_ended() { started || ! kill -0 "$run" 2>/dev/null; }
wait_until 300 started_or_ended || fail "the monitor did not start"
if ! started; then
  # A build this machine cannot run is skipped, with run.sh's reason.
  why=$(grep -m1 "^run: this machine cannot run 32-bit programs" "$log") && { echo "qrvl-skip: $why"; rm -f "$log"; exit 77; }
  fail "run.sh ended before the monitor started"
fi
# Up, not just started: its window is on run.sh's display.
display=$(sed -n "s/^run: the $arch monitor on display \([^;]*\);.*/\1/p" "$log")
DISPLAY=$display timeout 60 xdotool search --sync --onlyvisible --classname qrvlgrph >/dev/null ||
  fail "the monitor shows no window"
xvfb=$(cat "$root/build/run/xvfb.pid")
qrvld=$(pgrep -f "$root/build/native/daemon/qrvld --source") || fail "no qrvld"
grep -q "^\[QRVGRPH\]" "$root/build/run/prefix/drive_c/windows/QRVLGRPH.INI" || fail "no demo profile"

# All of it must be gone within 10 s.
start=$(date +%s)
/bin/kill -s INT -- "-$run"
running() {
  if kill -0 "$run" 2>/dev/null; then echo "run.sh"
  elif kill -0 "$xvfb" 2>/dev/null; then echo "its display"
  elif kill -0 "$qrvld" 2>/dev/null; then echo "qrvld"
  elif pgrep -f "$root/build/$arch/bin/QRVLGRPH.exe" >/dev/null; then echo "the monitor"
  fi
}
all_gone() { [ -z "$(running)" ]; }
wait_until 10 all_gone || fail "$(running) still runs 10 s after Ctrl-C"
grep -q "interrupted" "$log" || fail "no word of the interruption"
echo "run.sh ended $(($(date +%s) - start)) s after Ctrl-C, with its monitor, qrvld and display"
rm -f "$log"

#!/bin/sh
# Runs the Windows test program and qrvlget.exe under wine against the native qrvld on
# 127.0.0.1:$QRVL_PORT, as tests/daemon/with-qrvld.sh runs it:
#   with-qrvld.sh QRVLD --source sim -- dll-against-daemon.sh WINE-RUN TEST-EXE QRVLGET-EXE
set -u
wine_run=$1 test_exe=$2 qrvlget_exe=$3

status=0
"$wine_run" "$test_exe" "127.0.0.1:$QRVL_PORT" || status=1

out=$("$wine_run" "$qrvlget_exe" --timeout 3000 "127.0.0.1:$QRVL_PORT" | tr -d '\r')
echo "$out"
for name in CPU PWR SYS Vcore VTT Vio Fan1 Fan2 Fan3 Time; do
  echo "$out" | grep -q "^$name: [0-9]" || { echo "qrvlget.exe printed no $name line" >&2; status=1; }
done
# As a monitoring plugin: the simulated chip's CPU lies between 20 and 80 degrees.
check=$("$wine_run" "$qrvlget_exe" --check -w cpu=20:80 -c cpu=@0:0 "127.0.0.1:$QRVL_PORT" | tr -d '\r')
echo "$check"
echo "$check" | grep -Eq "^QRVL OK - all channels fine \| 'cpu'=[0-9.]+;20:80;@0:0 'pwr'=" ||
  { echo "qrvlget.exe --check printed no OK line" >&2; status=1; }
check=$("$wine_run" "$qrvlget_exe" --check -c cpu=20 "127.0.0.1:$QRVL_PORT" | tr -d '\r')
echo "$check" | grep -q "^QRVL CRITICAL - cpu " || { echo "qrvlget.exe --check printed no CRITICAL line" >&2; status=1; }
# Nobody listens on the port after it: qrvlget.exe fails rather than waiting.
"$wine_run" "$qrvlget_exe" --timeout 300 "127.0.0.1:$((QRVL_PORT + 1))" >/dev/null 2>&1
[ $? -eq 1 ] || { echo "qrvlget.exe did not exit 1 without a daemon" >&2; status=1; }

cat "$QRVLD_LOG"
exit $status

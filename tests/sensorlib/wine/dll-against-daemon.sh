#!/bin/sh
# Starts the native qrvld on a free loopback port, runs the Windows test program and
# qrvlget.exe against it under wine, then stops the daemon.
#   dll-against-daemon.sh QRVLD WINE-RUN TEST-EXE QRVLGET-EXE
set -u
qrvld=$1 wine_run=$2 test_exe=$3 qrvlget_exe=$4
if [ ! -x "$qrvld" ]; then
  echo "no qrvld at $qrvld: build the native preset first" >&2
  exit 1
fi
log=$(mktemp)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -f "$log"
}
trap cleanup EXIT

# A port someone else holds makes qrvld end at once; the next one is tried.
port=$((20000 + $$ % 30000))
for attempt in 1 2 3 4 5 6 7 8; do
  "$qrvld" --listen 127.0.0.1 --port "$port" --source sim --cadence 200 2>"$log" &
  pid=$!
  i=0
  while [ $i -lt 200 ] && ! grep -q ready "$log" && kill -0 "$pid" 2>/dev/null; do
    sleep 0.02
    i=$((i + 1))
  done
  grep -q ready "$log" && break
  pid=
  port=$((port + 1))
done
if [ -z "$pid" ]; then
  echo "qrvld did not start:" >&2
  cat "$log" >&2
  exit 1
fi

status=0
"$wine_run" "$test_exe" "127.0.0.1:$port" || status=1

out=$("$wine_run" "$qrvlget_exe" --timeout 3000 "127.0.0.1:$port" | tr -d '\r')
echo "$out"
for name in CPU PWR SYS Vcore VTT Vio Fan1 Fan2 Fan3 Time; do
  echo "$out" | grep -q "^$name: [0-9]" || { echo "qrvlget.exe printed no $name line" >&2; status=1; }
done
"$wine_run" "$qrvlget_exe" --timeout 300 "127.0.0.1:$((port + 1))" >/dev/null 2>&1
[ $? -eq 1 ] || { echo "qrvlget.exe did not exit 1 without a daemon" >&2; status=1; }

kill "$pid"
wait "$pid" || { echo "qrvld did not stop cleanly" >&2; status=1; }
pid=
cat "$log"
exit $status

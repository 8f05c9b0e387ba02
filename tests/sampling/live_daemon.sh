#!/bin/sh
# Runs the live sampling test: qrvld on a free loopback port, the test program under wine,
# and the daemon stopped and started again when the program asks for it.
# usage: live_daemon.sh QRVLD WINE-RUN PROGRAM
set -u
qrvld=$1
run=$2
program=$3
folder=$(mktemp -d)
daemon=
trap 'if [ -n "$daemon" ]; then kill "$daemon" 2>/dev/null; fi; rm -rf "$folder"' EXIT

start_daemon() {
  "$qrvld" --listen 127.0.0.1 --port "$1" --source sim --cadence 100 2>>"$folder/qrvld.log" &
  daemon=$!
  sleep 0.3
  kill -0 "$daemon" 2>/dev/null
}

port=
for p in $(seq 27301 27399); do
  if start_daemon "$p"; then port=$p; break; fi
done
[ -n "$port" ] || { echo "no free port for qrvld" >&2; cat "$folder/qrvld.log" >&2; exit 1; }

"$run" "$program" "127.0.0.1:$port" "Z:$folder" &
test_pid=$!

# Waits for the program's word; false when it ended or took too long.
wait_for() {
  i=0
  while [ ! -e "$folder/$1" ]; do
    kill -0 "$test_pid" 2>/dev/null || return 1
    i=$((i + 1))
    [ $i -lt 600 ] || return 1
    sleep 0.1
  done
}

if wait_for readings; then
  kill "$daemon"; wait "$daemon" 2>/dev/null; daemon=
  echo "qrvld stopped"
  if wait_for failures; then
    start_daemon "$port" || { echo "qrvld did not start again" >&2; cat "$folder/qrvld.log" >&2; }
    echo "qrvld started again on port $port"
  fi
fi
wait "$test_pid"
status=$?
exit $status

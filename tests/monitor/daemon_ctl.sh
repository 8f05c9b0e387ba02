#!/bin/sh
# Starts or stops the qrvld that the monitor tests talk to, on the default port.
# usage: daemon_ctl.sh start|stop STATE_DIR QRVLD
set -u
state=$2
case "$1" in
  start)
    "$3" --listen 127.0.0.1 --port 27183 --source sim --cadence 200 2>>"$state/qrvld.log" &
    echo $! >"$state/qrvld.pid"
    sleep 0.3
    kill -0 "$(cat "$state/qrvld.pid")" 2>/dev/null || { echo "qrvld did not start" >&2; cat "$state/qrvld.log" >&2; exit 1; }
    ;;
  stop)
    [ -f "$state/qrvld.pid" ] || exit 0
    pid=$(cat "$state/qrvld.pid")
    kill "$pid" 2>/dev/null
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    rm -f "$state/qrvld.pid"
    ;;
  *) echo "usage: $0 start|stop STATE_DIR QRVLD" >&2; exit 2 ;;
esac

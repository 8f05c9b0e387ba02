#!/bin/sh
# Runs a monitor test program under wine with qrvld on the default port; the program can
# stop and start the daemon itself through daemon_ctl.sh (QRVL_DAEMON_CTL, QRVL_STATE, QRVLD).
# usage: run_with_daemon.sh QRVLD WINE-RUN PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
QRVLD=$1
run=$2
shift 2
QRVL_STATE=$(mktemp -d)
QRVL_DAEMON_CTL=$here/daemon_ctl.sh
export QRVLD QRVL_STATE QRVL_DAEMON_CTL
trap 'sh "$QRVL_DAEMON_CTL" stop "$QRVL_STATE"; rm -rf "$QRVL_STATE"' EXIT
sh "$QRVL_DAEMON_CTL" start "$QRVL_STATE" "$QRVLD" || exit 1
"$run" "$@"

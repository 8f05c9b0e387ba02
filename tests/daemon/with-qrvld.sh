#!/bin/sh
# Runs a command with qrvld serving on loopback: the one launcher of every test that needs
# a daemon.
#
# usage: with-qrvld.sh [--port N] [--vars PREFIX] QRVLD [QRVLD-OPTION...] -- COMMAND [ARG...]
#   Starts QRVLD --listen 127.0.0.1 --port PORT QRVLD-OPTION... on a free port (or on N),
#   waits until it logs its "ready" line, runs COMMAND, then stops the daemon with SIGTERM.
#   Exits with COMMAND's status; 1 when the daemon did not get ready within 5 s, ended while
#   COMMAND ran without being asked to, or did not end cleanly (exit status 0 within 2 s of
#   SIGTERM), saying so on stderr with its log.
#   COMMAND's environment has:
#     QRVL_PORT    the port, on 127.0.0.1
#     QRVLD_LOG    the daemon's log (its stderr), kept over restarts
#     QRVLD_STATE  a folder that the two forms below work on
#   With --vars PREFIX they are PREFIX_PORT, PREFIX_LOG and PREFIX_STATE instead, so that
#   launchers can be nested. QRVLD may be any server that takes --listen and --port and
#   logs "ready" (the tests' fake web server does).
#   COMMAND may stop the daemon and start it again, on the same port with the same options:
#     with-qrvld.sh stop [STATE]    SIGTERM, then as above; 1 when it did not end cleanly
#     with-qrvld.sh start [STATE]   1 when it did not get ready
#   STATE is $QRVLD_STATE unless given. $QRVLD_STATE/pid holds the running daemon's pid.
set -u
. "$(dirname "$0")/random-port.sh"
. "$(dirname "$0")/../support/wait-until.sh"

ready_seconds=5
stop_seconds=2

# Whether the daemon that launch() started has logged its line "ready..." (after a syslog
# priority prefix), has ended, or either.
ready() { [ -s "$state/pid" ] && tail -n "+$from" "$state/qrvld.log" | grep -q '^\(<[0-9]>\)\{0,1\}ready'; }
ended() { [ -e "$state/status" ]; }
ready_or_ended() { ready || ended; }

# Starts the daemon on $port and waits for it; 2 when the port was taken.
launch() {
  rm -f "$state/status" "$state/pid" "$state/stopped"
  : >>"$state/qrvld.log"
  from=$(($(wc -l <"$state/qrvld.log") + 1))
  set --
  while IFS= read -r option; do set -- "$@" "$option"; done <"$state/options"
  # The subshell waits for the daemon and records how it ended, whoever asks to stop it.
  (
    "$(cat "$state/qrvld")" --listen 127.0.0.1 --port "$port" "$@" </dev/null >/dev/null 2>>"$state/qrvld.log" &
    echo $! >"$state/pid"
    wait $!
    echo $? >"$state/status"
  ) </dev/null >/dev/null 2>&1 &
  wait_until "$ready_seconds" ready_or_ended
  if ready; then
    echo "$port" >"$state/port"
    return 0
  fi
  if ended; then
    # Only the UDP port is ours to change; any other port in use is the caller's to fix.
    tail -n "+$from" "$state/qrvld.log" | grep -qF "cannot listen on 127.0.0.1:$port: Address already in use" && return 2
    echo "qrvld ended at start-up with status $(cat "$state/status"):" >&2
    tail -n "+$from" "$state/qrvld.log" >&2
    return 1
  fi
  echo "qrvld did not get ready within $ready_seconds s:" >&2
  tail -n "+$from" "$state/qrvld.log" >&2
  kill -KILL "$(cat "$state/pid")" 2>/dev/null
  return 1
}

start() {
  # Started again, it keeps its port: the command is talking to that one.
  port=$(cat "$state/port" "$state/fixed-port" 2>/dev/null | head -n 1)
  if [ -n "$port" ]; then
    launch
    case $? in
      0) return 0 ;;
      2) echo "qrvld cannot listen on 127.0.0.1:$port: the port is taken" >&2 ;;
    esac
    return 1
  fi
  # Another process may hold a random port; then another one is tried.
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$(qrvl_random_port)
    launch
    case $? in
      0) return 0 ;;
      2) ;;
      *) return 1 ;;
    esac
  done
  echo "qrvld found no free port" >&2
  return 1
}

stop() {
  [ -s "$state/pid" ] && [ ! -e "$state/status" ] || return 0
  pid=$(cat "$state/pid")
  : >"$state/stopped"
  kill -TERM "$pid" 2>/dev/null
  if ! wait_until "$stop_seconds" ended; then
    echo "qrvld did not end within $stop_seconds s of SIGTERM; killed" >&2
    kill -KILL "$pid" 2>/dev/null
    return 1
  fi
  ended=$(cat "$state/status")
  if [ "$ended" -ne 0 ]; then
    echo "qrvld ended with status $ended after SIGTERM:" >&2
    cat "$state/qrvld.log" >&2
    return 1
  fi
}

case "${1:-}" in
  start | stop)
    state=${2:-${QRVLD_STATE:?with-qrvld.sh $1: no QRVLD_STATE}}
    "$1"
    exit $?
    ;;
esac

fixed=
if [ "${1:-}" = --port ]; then
  fixed=${2:?with-qrvld.sh: --port needs a number}
  shift 2
fi
vars=
if [ "${1:-}" = --vars ]; then
  vars=${2:?with-qrvld.sh: --vars needs a prefix}
  shift 2
fi
[ $# -ge 1 ] || { echo "usage: with-qrvld.sh [--port N] [--vars PREFIX] QRVLD [QRVLD-OPTION...] -- COMMAND [ARG...]" >&2; exit 2; }
[ -x "$1" ] || { echo "with-qrvld.sh: no qrvld at $1: build the native preset first" >&2; exit 1; }
state=$(mktemp -d)
trap 'stop >/dev/null 2>&1; rm -rf "$state"' EXIT
trap 'exit 129' HUP INT TERM
echo "$1" >"$state/qrvld"
[ -z "$fixed" ] || echo "$fixed" >"$state/fixed-port"
shift
: >"$state/options"
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  printf '%s\n' "$1" >>"$state/options"
  shift
done
[ $# -ge 2 ] || { echo "with-qrvld.sh: no command after --" >&2; exit 2; }
shift

start || exit 1
if [ -n "$vars" ]; then
  export "${vars}_PORT=$port" "${vars}_LOG=$state/qrvld.log" "${vars}_STATE=$state"
else
  QRVL_PORT=$port QRVLD_LOG=$state/qrvld.log QRVLD_STATE=$state
  export QRVL_PORT QRVLD_LOG QRVLD_STATE
fi
"$@"
result=$?
if [ -e "$state/status" ] && [ ! -e "$state/stopped" ]; then
  echo "qrvld ended while the command ran, with status $(cat "$state/status"):" >&2
  cat "$state/qrvld.log" >&2
  result=1
fi
stop || result=1
exit $result

#!/bin/sh
# Starts or stops the test display and the wineserver of a build:
#   wine-session.sh start   Xvfb (unless QRVL_TEST_DISPLAY names a display), a window
#                           manager, a prepared WINEPREFIX and a persistent wineserver
#   wine-session.sh stop    ends what start began
#   wine-session.sh scaled DPI COMMAND...
#                           runs the command on the session's display in a prefix of its
#                           own whose display scale is DPI (96, 144, 192), with its own
#                           wineserver, so that the session's prefix keeps 96
set -eu
here=$(cd "$(dirname "$0")" && pwd)
case "${1:-}" in
  start | stop) rm -f "$here/display" ;;
  scaled) QRVL_WINEPREFIX="$here/prefix-scaled"; export QRVL_WINEPREFIX ;;
esac
. "$here/wine-env.sh"

stop() {
  "$QRVL_WINESERVER" -k 2>/dev/null || true
  for f in evilwm.pid xvfb.pid; do
    if [ -f "$here/$f" ]; then kill "$(cat "$here/$f")" 2>/dev/null || true; rm -f "$here/$f"; fi
  done
  rm -f "$here/display"
}

free_display() {
  n=50
  while [ $n -lt 100 ]; do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then echo ":$n"; return; fi
    n=$((n + 1))
  done
  echo "wine-session: no free X display number" >&2
  exit 1
}

start_display() {
  if [ -n "${QRVL_TEST_DISPLAY:-}" ]; then
    DISPLAY=$QRVL_TEST_DISPLAY
  else
    DISPLAY=$(free_display)
    setsid Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$here/xvfb.log" 2>&1 </dev/null &
    echo $! >"$here/xvfb.pid"
    i=0
    until [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; do
      i=$((i + 1)); [ $i -lt 100 ] || { echo "wine-session: Xvfb did not start" >&2; cat "$here/xvfb.log" >&2; exit 1; }
      sleep 0.1
    done
  fi
  export DISPLAY
  # Without a window manager, hiding a window costs a 2 s time-out and activation fails.
  # evilwm needs a font it can load, or it exits at once; "fixed" is in every X install.
  setsid evilwm -fn fixed >"$here/evilwm.log" 2>&1 </dev/null &
  echo $! >"$here/evilwm.pid"
  sleep 0.5
  if ! kill -0 "$(cat "$here/evilwm.pid")" 2>/dev/null; then
    echo "wine-session: the window manager did not come up:" >&2
    cat "$here/evilwm.log" >&2
    stop
    exit 1
  fi
  echo "$DISPLAY" >"$here/display"
}

prepare_prefix() {
  [ -f "$WINEPREFIX/.qrvl-ready" ] && return
  rm -rf "$WINEPREFIX"
  # Made by the 64-bit side, the prefix has both halves (system32 and syswow64).
  "$QRVL_WINE64" wineboot -i >/dev/null 2>&1 </dev/null
  reg() { "$QRVL_WINE64" reg add "$@" /f >/dev/null 2>&1 </dev/null; }
  # A crash ends the program instead of waiting on a dialog.
  reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  # Windows stay where the programs put them.
  reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
  # The Japanese system font resolves to the installed IPA Gothic under its own name.
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Gothic' /t REG_SZ /d IPAGothic
  # Debian's wine does not load its own fonts folder; caption buttons need Marlett.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  "$QRVL_WINESERVER" -w
  touch "$WINEPREFIX/.qrvl-ready"
}

case "${1:-}" in
  start)
    stop
    unusable=$(qrvl_wine_unusable)
    if [ -n "$unusable" ]; then echo "$unusable" >&2; exit 77; fi
    start_display
    prepare_prefix
    "$QRVL_WINESERVER" -p >/dev/null 2>&1 </dev/null
    # Wine's background services start now, not inside a test whose output ctest reads;
    # the build's own loader starts its half of them.
    "$QRVL_WINE" cmd /c exit </dev/null >/dev/null 2>&1
    echo "wine session on display $DISPLAY, prefix $WINEPREFIX"
    ;;
  stop) stop ;;
  scaled)
    dpi=$2
    shift 2
    unusable=$(qrvl_wine_unusable)
    if [ -n "$unusable" ]; then echo "$unusable" >&2; exit 77; fi
    prepare_prefix
    "$QRVL_WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
    # Wine reads the DPI when its server starts.
    "$QRVL_WINESERVER" -k 2>/dev/null || true
    "$QRVL_WINESERVER" -w
    "$QRVL_WINESERVER" -p >/dev/null 2>&1 </dev/null
    "$QRVL_WINE" cmd /c exit </dev/null >/dev/null 2>&1
    status=0
    "$@" || status=$?
    "$QRVL_WINESERVER" -k 2>/dev/null || true
    exit $status
    ;;
  *) echo "usage: $0 start|stop|scaled DPI COMMAND..." >&2; exit 2 ;;
esac

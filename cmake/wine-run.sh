#!/bin/sh
# Emulator for the x86_64 Windows tests: runs a program under wine64 in the session's display.
. "$(dirname "$0")/wine-env.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no display; run the wine.session.start test first (ctest adds it itself)" >&2
  exit 1
fi
exec "$QRVL_WINE" "$@"

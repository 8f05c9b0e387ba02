#!/bin/sh
# Emulator for a build's Windows tests: runs a program under the build's wine loader in
# the session's display. On a machine that cannot run that loader it says why and exits
# 77, which the tests report as skipped.
. "$(dirname "$0")/wine-env.sh"
unusable=$(qrvl_wine_unusable)
if [ -n "$unusable" ]; then
  echo "$unusable" >&2
  exit 77
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run: no display; run the wine.start test first (ctest adds it itself)" >&2
  exit 1
fi
exec "$QRVL_WINE" "$@"

#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native part and both Windows
# targets, runs the native tests and the Windows tests of both builds (x86_64 under wine64,
# i686 under the 32-bit loader) in a private Xvfb display, then builds the release files
# and checks them.
#   scripts/test.sh          everything, as CI runs it
#   scripts/test.sh native   the Linux part only (daemon, library, qrvlget): minutes, no wine
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = native ]; then
  scripts/setup.sh native
  cmake --preset native >/dev/null
  cmake --build --preset native
  exec ctest --preset native
fi
[ $# -eq 0 ] || { echo "usage: scripts/test.sh [native]" >&2; exit 2; }
scripts/setup.sh
for preset in native x86_64 i686; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
ctest --preset native
ctest --preset x86_64
ctest --preset i686
# The release files, as a user gets them.
scripts/package.sh
tests/package/release_test.sh dist build/native tests/hwmon/trees/intel/class/hwmon

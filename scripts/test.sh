#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native part and both Windows
# targets (i686 only compiles: this machine cannot run 32-bit programs), runs the native
# tests and the x86_64 Windows tests under wine64 in a private Xvfb display, then builds
# the release files and checks them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in native x86_64 i686; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
ctest --preset native
ctest --preset x86_64
# The release files, as a user gets them.
scripts/package.sh
tests/package/release_test.sh dist build/native tests/hwmon/trees/intel/class/hwmon

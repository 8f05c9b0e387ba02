#!/usr/bin/env bash
# Builds the release files into dist/: the Debian package of qrvld (with Debian's own
# tooling, in a copy of the source tree so the checkout stays clean) and the Windows zips
# of both targets.
# usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
mkdir -p dist

# The tree as checked out, with uncommitted changes but without build output.
work=$(mktemp -d /tmp/qrvl-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
mkdir "$work/qrvld-$version"
git ls-files -z --cached --others --exclude-standard | grep -zv '^dist/' |
  xargs -0 tar -cf - | tar -xf - -C "$work/qrvld-$version"
(cd "$work/qrvld-$version" && dpkg-buildpackage -b -us -uc >"$work/build.log" 2>&1) ||
  { tail -40 "$work/build.log"; echo "package: dpkg-buildpackage failed" >&2; exit 1; }
cp "$work"/qrvld_"$version"_*.deb dist/

for preset in x86_64 i686; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target windows_zip >/dev/null
  cp build/"$preset"/QRVLGRPH-*-"$preset".zip dist/
done
ls -1 dist/

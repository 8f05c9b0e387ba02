#!/usr/bin/env bash
# The Debian package of qrvld, and its installation from source: what they hold, that the
# systemd unit passes systemd-analyze verify and stays hardened, and that the packaged
# daemon runs with the packaged configuration.
# usage: package_test.sh BUILD_DIR SYSFS_ROOT
set -euo pipefail
build=$1
sysfs_root=$2
work=$(mktemp -d /tmp/qrvld-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package: name, dependencies found by dpkg-shlibdeps, the configuration a conffile.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = qrvld ] || fail "package name"
dpkg-deb -f "$deb" Depends | grep -q 'libinih1' || fail "no dependency on libinih1: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/qrvld/qrvld.conf ] || fail "conffiles"
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sort >"$work/files"
printf '%s\n' ./etc/qrvld/qrvld.conf ./usr/bin/qrvld ./usr/lib/systemd/system/qrvld.service >"$work/expected"
diff -u "$work/expected" "$work/files" || fail "package contents"

root=$work/root
dpkg-deb -x "$deb" "$root"
unit=$root/usr/lib/systemd/system/qrvld.service
grep -qx 'ExecStart=/usr/bin/qrvld --config /etc/qrvld/qrvld.conf' "$unit" || fail "ExecStart: $(grep ExecStart "$unit")"

# systemd-analyze checks that the command exists, so the unit is checked with the paths
# into the unpacked package; any complaint fails, as a warning does not change its status.
sed "s|/usr/bin/qrvld|$root/usr/bin/qrvld|; s|/etc/qrvld/|$root/etc/qrvld/|" "$unit" >"$work/qrvld.service"
systemd-analyze verify "$work/qrvld.service" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "verify"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify complained"; }
# Exposure 2.0 of 10 at most: a loosened sandbox shows here.
systemd-analyze security --offline=yes --threshold=20 "$work/qrvld.service" >"$work/security.log" 2>&1 ||
  { cat "$work/security.log"; fail "the unit is not hardened enough"; }
grep -q '^DynamicUser=yes$' "$unit" && grep -q '^CapabilityBoundingSet=$' "$unit" &&
  grep -q '^RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX$' "$unit" || fail "sandbox settings"

# The packaged daemon reads the packaged configuration.
"$root/usr/bin/qrvld" --config "$root/etc/qrvld/qrvld.conf" --sysfs-root "$sysfs_root" --list >"$work/list" ||
  fail "qrvld --list with the packaged configuration"
grep -q '^cpu   = coretemp temp1 ' "$work/list" || fail "list: $(cat "$work/list")"

# An install from source under /usr/local: the unit names that prefix throughout.
DESTDIR=$work/staged cmake --install "$build" --component qrvld --prefix /usr/local >/dev/null
for f in usr/local/bin/qrvld usr/local/etc/qrvld/qrvld.conf usr/local/lib/systemd/system/qrvld.service; do
  [ -f "$work/staged/$f" ] || fail "not installed: $f"
done
grep -qx 'ExecStart=/usr/local/bin/qrvld --config /usr/local/etc/qrvld/qrvld.conf' \
  "$work/staged/usr/local/lib/systemd/system/qrvld.service" || fail "ExecStart of the /usr/local unit"
echo "package $(basename "$deb"): contents, unit and configuration checked"

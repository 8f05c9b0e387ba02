#!/usr/bin/env bash
# Runs scripts/setup.sh with apt-get, dpkg-query, dpkg, locale and id replaced on PATH by fakes
# that log what they are asked: `apt-get update` fails one index and exits 100, as a
# half-synced mirror makes it, and wine32:i386 installs only with -t (the release's main
# suite), or in the second run not at all. Setup must go on, name the index once, install
# the rest, and say in one line that wine32:i386 cannot be installed.
# usage: setup_test.sh SETUP_SH
set -euo pipefail
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
index=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz

mkdir "$work/bin"
cat >"$work/bin/apt-get" <<FAKE
#!/usr/bin/env bash
echo "apt-get \$*" >>"$work/apt.log"
case " \$* " in
  *" update "*)
    echo "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
    echo "E: Failed to fetch $index  File has unexpected size (45 != 47). Mirror sync in progress? [IP: 127.0.0.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
  *" wine32:i386 "*)
    if [[ " \$* " == *" -t "* && ! -e "$work/never" ]]; then exit 0; fi
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
FAKE
# Installed: everything but curl, wine64 and wine32:i386.
cat >"$work/bin/dpkg-query" <<FAKE
#!/usr/bin/env bash
case "\${@: -1}" in curl|wine64|wine32:i386) exit 1 ;; esac
printf 'install ok installed'
FAKE
cat >"$work/bin/dpkg" <<FAKE
#!/usr/bin/env bash
echo "dpkg \$*" >>"$work/apt.log"
FAKE
printf '#!/usr/bin/env bash\necho ja_JP.utf8\n' >"$work/bin/locale"
# As root, so that no sudo looks the real apt-get up.
printf '#!/usr/bin/env bash\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin/"*

run() {
  : >"$work/apt.log"
  local rc=0
  PATH=$work/bin:$PATH bash "$setup" >"$work/out" 2>&1 || rc=$?
  [ $rc -eq 0 ] || { cat "$work/out"; fail "setup.sh exited with $rc"; }
}

# A broken index and 32-bit packages behind the 64-bit ones: the index is named once, the
# rest installs, wine32:i386 from the main suite.
run
[ "$(grep -c "apt-get update failed for $index" "$work/out")" = 1 ] || { cat "$work/out"; fail "the failed index once"; }
grep -q 'Acquire::Retries=' "$work/apt.log" || fail "no retries: $(cat "$work/apt.log")"
grep -q '^dpkg --add-architecture i386$' "$work/apt.log" || fail "i386 not added: $(cat "$work/apt.log")"
grep -Eq '^apt-get install .*curl wine64$' "$work/apt.log" || fail "the missing packages: $(cat "$work/apt.log")"
grep -Eq '^apt-get install .*-t [a-z]+ wine32:i386$' "$work/apt.log" || fail "wine32:i386 not from the main suite"
! grep -q 'cannot be installed' "$work/out" || fail "wine32:i386 was installed: $(cat "$work/out")"

# wine32:i386 not to be had at all: one line says so, and setup still succeeds.
touch "$work/never"
run
[ "$(grep -c 'wine32:i386 cannot be installed' "$work/out")" = 1 ] || { cat "$work/out"; fail "one line for wine32"; }
grep -q 'wine32:i386 cannot be installed (E: Unable to correct problems.*); the i686 tests will be skipped$' "$work/out" ||
  fail "reason: $(cat "$work/out")"
grep -Eq '^apt-get install .*curl wine64$' "$work/apt.log" || fail "the rest was not installed"
echo "setup.sh goes on past a broken index and a wine32:i386 it cannot install"

#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine. Idempotent and
# quiet when all is there; run as root or with sudo available.
#   scripts/setup.sh          everything
#   scripts/setup.sh native   the Linux part only: no cross compilers, no wine
set -euo pipefail
part=${1:-all}

# The Linux part: the daemon, the library, qrvlget, their tests and packaging.
packages=(
  cmake ninja-build python3-minimal googletest libgtest-dev
  clang libclang-rt-14-dev libinih-dev systemd dpkg-dev file prometheus
  debhelper lintian pkgconf
  libmicrohttpd-dev prometheus-node-exporter curl rapidjson-dev
  libyaml-dev libgnutls28-dev libcrypt-dev openssl apache2-utils
)
# The Windows programs: built with mingw-w64, tested under wine in an X display.
if [ "$part" != native ]; then
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine64 xvfb xdotool evilwm imagemagick fonts-ipafont-gothic fonts-wine locales)
fi

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# A half-synced mirror fails one index now and then: apt-get update then exits 100 though
# every other index is fresh. Say which failed, once, and go on with the rest.
apt_update() {
  local log failed
  log=$(mktemp)
  if ! as_root apt-get -o Acquire::Retries=3 update -qq >"$log" 2>&1; then
    failed=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u | tr '\n' ' ')
    echo "setup: apt-get update failed for ${failed:-$(head -n 1 "$log")}; going on without it"
  fi
  rm -f "$log"
}

# Installs, retrying failed downloads. With an index missing, packages of one architecture
# may be older than those of the other, and multi-arch packages must match: the release's
# main suite then has both at one version.
apt_install() {
  local log rc=0
  log=$(mktemp)
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o Acquire::Retries=3 \
    --no-install-recommends "$@" >"$log" 2>&1 ||
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o Acquire::Retries=3 \
      --no-install-recommends -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" "$@" >"$log" 2>&1 ||
    rc=$?
  [ $rc -eq 0 ] || grep '^E:' "$log" | tail -n 1 >&2
  rm -f "$log"
  return $rc
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The i686 build's tests run under Debian's 32-bit wine loader, beside wine64.
want_wine32=
if [ "$part" != native ] &&
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  want_wine32=1
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "$want_wine32" ]; then
  echo "setup: installing $(echo ${missing[*]} ${want_wine32:+wine32:i386})"
  if [ -n "$want_wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  apt_update
  [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
  if [ -n "$want_wine32" ] && ! why=$(apt_install wine32:i386 2>&1); then
    echo "setup: wine32:i386 cannot be installed (${why:-apt-get failed}); the i686 tests will be skipped"
  fi
fi
[ "$part" != native ] || exit 0
# Some kernels execute no 32-bit programs: the i686 tests are then skipped, and say why.
if [ -e /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "setup: this machine cannot run 32-bit programs (/usr/lib/wine/wine); the i686 tests will be skipped"
fi

# Wine takes its ANSI code page (932 for the Japanese texts) from the ja_JP locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

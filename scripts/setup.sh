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

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The i686 build's tests run under Debian's 32-bit wine loader, beside wine64.
if [ "$part" != native ]; then
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || missing+=(wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
[ "$part" != native ] || exit 0
# Some kernels execute no 32-bit programs: the i686 tests are then skipped, and say why.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "setup: this machine cannot run 32-bit programs (/usr/lib/wine/wine); the i686 tests will be skipped"
fi

# Wine takes its ANSI code page (932 for the Japanese texts) from the ja_JP locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

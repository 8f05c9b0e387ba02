# Environment of every wine command of one build's test session; sourced by wine-run.sh and
# wine-session.sh, which live beside it in <build>/wine.
QRVL_WINE_STATE=$(cd "$(dirname "$0")" && pwd)
# wine-session.sh scaled names a prefix of its own.
export WINEPREFIX="${QRVL_WINEPREFIX:-$QRVL_WINE_STATE/prefix}"
# A 64-bit prefix for both builds: its syswow64 half runs the i686 programs.
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes its ANSI code page from the locale: ja_JP gives 932 (Shift-JIS).
export LC_ALL=ja_JP.UTF-8
if [ -d "$QRVL_WINE_STATE/locale" ]; then export LOCPATH="$QRVL_WINE_STATE/locale"; fi
if [ -f "$QRVL_WINE_STATE/display" ]; then
  DISPLAY=$(cat "$QRVL_WINE_STATE/display"); export DISPLAY
fi
# Each build runs under its own loader: x86_64 programs under wine64, i686 ones under the
# 32-bit loader. QRVL_WINE_ARCH may name the other build's, for a program of that build.
QRVL_WINE64=/usr/lib/wine/wine64
QRVL_WINE32=/usr/lib/wine/wine
QRVL_WINESERVER=/usr/lib/wine/wineserver
: "${QRVL_WINE_ARCH:=@QRVL_WINE_ARCH@}"
case $QRVL_WINE_ARCH in
  i686) QRVL_WINE=$QRVL_WINE32 ;;
  *) QRVL_WINE=$QRVL_WINE64 ;;
esac

# Why this machine cannot run the loader's programs, on stdout; nothing when it can.
qrvl_wine_unusable() {
  if [ ! -x "$QRVL_WINE" ]; then
    echo "qrvl-skip: $QRVL_WINE is missing (scripts/setup.sh installs wine32:i386 for the i686 build)"
  elif ! "$QRVL_WINE" --version >/dev/null 2>&1; then
    echo "qrvl-skip: this machine cannot execute the programs of $QRVL_WINE (32-bit programs, for the i686 build)"
  fi
}

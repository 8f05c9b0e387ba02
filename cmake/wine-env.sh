# Environment of every wine command of a test session; sourced by wine-run.sh and
# wine-session.sh, which live beside it in <build>/wine.
QRVL_WINE_STATE=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$QRVL_WINE_STATE/prefix"
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
# Never /usr/bin/wine: it would pick the 32-bit loader, which this kernel cannot run.
QRVL_WINE=/usr/lib/wine/wine64
QRVL_WINESERVER=/usr/lib/wine/wineserver

#!/bin/sh
# The same chart sequence drawn by this build's chart_pixels and by the other build's, each
# under its own loader in this build's wine session, must give the same bytes.
# usage: same_pixels.sh WINE-RUN OWN-EXE PEER-EXE PEER-ARCH OUT-DIR
set -u
wine_run=$1 own=$2 peer=$3 peer_arch=$4 out=$5
if [ ! -f "$peer" ]; then
  echo "same_pixels: $peer is not built; build the $peer_arch preset too" >&2
  exit 1
fi
mkdir -p "$out"
"$wine_run" "$own" "$out/own.bin" || exit $?
QRVL_WINE_ARCH=$peer_arch "$wine_run" "$peer" "$out/peer.bin" || exit $?
if ! cmp "$out/own.bin" "$out/peer.bin"; then
  echo "same_pixels: the $peer_arch build draws other pixels; pictures in $out" >&2
  exit 1
fi
echo "same_pixels: $(wc -c <"$out/own.bin") bytes alike"

#!/bin/sh
# Runs the Windows benchmarks of both builds, each under its own wine loader in its own
# test session, and prints their figures side by side: a line of the x86_64 build, then
# the same line of the i686 build.
# usage: bench/windows_bench.sh [POLLS]   (the builds of both presets must exist)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
polls=${1:-1000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for arch in x86_64 i686; do
  build=$root/build/$arch
  # A build whose loader cannot run here (i686 where the kernel runs no 32-bit programs)
  # says why and shows as "not run".
  if ! "$build/wine/wine-session.sh" start >/dev/null 2>"$out/$arch.why"; then
    echo "bench: $arch not run: $(sed 's/^qrvl-skip: //' "$out/$arch.why")" >&2
    : >"$out/$arch.chart"
    : >"$out/$arch.monitor"
    continue
  fi
  echo "bench: $arch chart_bench..." >&2
  "$build/wine/wine-run.sh" "$build/bench/chart/chart_bench.exe" | tr -d '\r' >"$out/$arch.chart"
  echo "bench: $arch monitor_bench, $polls polls (a few minutes)..." >&2
  # The program as users get it, stripped: debug sections would count in its memory.
  shipped=$(ls -d "$build"/dist/QRVLGRPH-*-"$arch")
  "$build/wine/wine-run.sh" "$build/bench/monitor/monitor_bench.exe" "Z:$shipped/QRVLGRPH.exe" "$polls" |
    tr -d '\r' >"$out/$arch.monitor"
  "$build/wine/wine-session.sh" stop
done
for part in chart monitor; do
  paste -d '\n' "$out/x86_64.$part" "$out/i686.$part" |
    awk 'NR % 2 { printf "x86_64  %s\n", $0 == "" ? "(not run)" : $0; next } { printf "i686    %s\n", $0 == "" ? "(not run)" : $0 }'
done

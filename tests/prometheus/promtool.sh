#!/usr/bin/env bash
# Runs promtool once per argument list, lists separated by "--"; fails at the first failure.
# A missing promtool is a failure, so that a machine without it cannot pass by accident.
set -euo pipefail
if ! command -v promtool >/dev/null; then
  echo "promtool not found: install the Debian package prometheus (scripts/setup.sh does)" >&2
  exit 1
fi
args=()
for a in "$@" --; do
  if [ "$a" = -- ]; then
    promtool "${args[@]}"
    args=()
  else
    args+=("$a")
  fi
done

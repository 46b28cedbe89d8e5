#!/usr/bin/env bash
# Runs every benchmark built under <build>/bench, one after the other.
set -euo pipefail
build=${1:-build}
for bench in "$build"/bench/*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" "${@:2}"
done

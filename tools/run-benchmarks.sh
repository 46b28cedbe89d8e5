#!/usr/bin/env bash
# Runs every benchmark: the programs built under <build>/bench, then the measuring scripts in
# bench/ that run the whole app. Meant to run inside tools/test-session.sh (bus, keyring, display).
set -euo pipefail
build=${1:-build}
for bench in "$build"/bench/*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
for script in bench/*.sh; do
  echo "== $(basename "$script")"
  bash "$script" "$build"
done

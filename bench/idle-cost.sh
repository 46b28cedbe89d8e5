#!/usr/bin/env bash
# What the running app costs while nothing happens: CPU (share of one core) and resident memory,
# measured over a window of seconds under a private X display with a compositor.
#   bench/idle-cost.sh [build-dir] [seconds]     (run inside tools/test-session.sh)
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
app=$build/bin/bonkbell
tmp=$(mktemp -d)
trap 'kill $pid $compositor 2>/dev/null || true; rm -rf "$tmp"' EXIT

picom --backend xrender --no-fading-openclose >/dev/null 2>&1 &
compositor=$!

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
measure() {
  local label=$1 visible=$2
  mkdir -p "$tmp/$label/config/Bonkbell"
  printf '[General]\nalwaysVisible=%s\nshownSetup=true\n' "$visible" >"$tmp/$label/config/Bonkbell/Bonkbell.conf"
  HOME=$tmp/$label XDG_CONFIG_HOME=$tmp/$label/config XDG_DATA_HOME=$tmp/$label/data XDG_STATE_HOME=$tmp/$label/state \
    QT_QPA_PLATFORM=xcb "$app" 2>/dev/null &
  pid=$!
  sleep 3 # let it settle
  local before after hz rss
  before=$(ticks $pid)
  sleep "$seconds"
  after=$(ticks $pid)
  hz=$(getconf CLK_TCK)
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  kill $pid
  wait $pid 2>/dev/null || true
  awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v rss="$rss" -v label="$label" \
    'BEGIN { printf "%-18s cpu %.2f %% of one core   rss %.1f MB\n", label, 100 * t / hz / s, rss / 1024 }'
}

measure "monkey visible" true
measure "monkey hidden" false

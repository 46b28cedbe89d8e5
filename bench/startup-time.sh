#!/usr/bin/env bash
# Time from starting the app to its start line, which it writes once the monkey is laid out on
# screen and the tray icon exists; the median of a few cold starts on a private X display.
#   tools/test-session.sh bench/startup-time.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-5}
app=$(realpath "$build/bin/bonkbell")
unset QT_QPA_PLATFORM
times=()
for run in $(seq "$runs"); do
  work=$(mktemp -d)
  mkdir -p "$work/config/Bonkbell"
  printf '[General]\nshownSetup=true\n' >"$work/config/Bonkbell/Bonkbell.conf"
  start=$(date +%s.%N)
  HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data "$app" 2>/dev/null &
  pid=$!
  log=$work/state/Bonkbell/Bonkbell.log
  until [ -f "$log" ] && grep -q 'started v' "$log"; do sleep 0.005; done
  ready=$(stat -c %.9Y "$log")
  times+=("$(echo "($ready - $start) * 1000" | bc -l)")
  kill $pid; wait $pid 2>/dev/null || true
  rm -rf "$work"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "start to tray and monkey: median %.0f ms over %d starts (min %.0f, max %.0f)\n", a[int((NR + 1) / 2)], NR, a[1], a[NR] }'

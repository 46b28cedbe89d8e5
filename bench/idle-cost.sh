#!/usr/bin/env bash
# What the running app costs while nothing happens, side by side with xpenguins (three penguins
# walking over the screen, a classic X11 sprite animation). Each program gets its own private
# Xvfb of the same size; each is measured together with its X server (user + system ticks from
# /proc/<pid>/stat) over the same window, with and without a compositor, and the app again with
# its monkey hidden. Prints shares of one core, resident memory, and the ratio that matters:
# xpenguins / app (1 or more: the app costs no more than the penguins). Then the app in a nested
# KWin Wayland session, its overlays as layer surfaces and as XWayland windows, each measured
# with the compositor, its XWayland and the X server beneath: native / XWayland (1 or less: the
# layer surfaces cost no more).
#   bench/idle-cost.sh [build-dir] [seconds]     (run inside tools/test-session.sh)
set -euo pipefail
build=${1:-build}
seconds=${2:-20}
app=$(realpath "$build/bin/bonkbell")
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
command -v xpenguins >/dev/null || { echo "xpenguins is missing: bash tools/deps.sh bench" >&2; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_mb() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }

# A private display: sets $display and $xserver.
start_display() {
  local name=$1
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$tmp/$name.display" 2>/dev/null &
  xserver=$!
  pids+=("$xserver")
  for _ in $(seq 100); do [ -s "$tmp/$name.display" ] && break; sleep 0.05; done
  display=:$(cat "$tmp/$name.display")
}

# The app on its own display with its own preferences; sets $pid.
start_app() {
  local name=$1 visible=$2
  mkdir -p "$tmp/$name/config/Bonkbell"
  printf '[General]\nalwaysVisible=%s\nshownSetup=true\nsound=false\n' "$visible" >"$tmp/$name/config/Bonkbell/Bonkbell.conf"
  # APP_ENV: more NAME=value settings for the app, to try one out.
  env HOME="$tmp/$name" XDG_CONFIG_HOME="$tmp/$name/config" XDG_DATA_HOME="$tmp/$name/data" XDG_STATE_HOME="$tmp/$name/state" \
    BONKBELL_INBOX="$tmp/$name/inbox" DISPLAY="$display" QT_QPA_PLATFORM=xcb ${APP_ENV:-} "$app" 2>/dev/null &
  pid=$!
  pids+=("$pid")
}

# One side-by-side round: the app (monkey visible or hidden) against xpenguins, each on its
# own display, with or without picom on both.
round() {
  local label=$1 visible=$2 composited=$3
  start_display "app-$label"; local app_x=$xserver app_display=$display
  start_display "pen-$label"; local pen_x=$xserver pen_display=$display
  if [ "$composited" = yes ]; then
    DISPLAY=$app_display picom --backend xrender --no-fading-openclose >/dev/null 2>&1 & pids+=($!)
    DISPLAY=$pen_display picom --backend xrender --no-fading-openclose >/dev/null 2>&1 & pids+=($!)
  fi
  display=$app_display start_app "$label" "$visible"; local app_pid=$pid
  DISPLAY=$pen_display xpenguins -n 3 >/dev/null 2>&1 & local pen_pid=$!
  pids+=("$pen_pid")
  sleep 4 # let both settle
  local a0 ax0 p0 px0 a1 ax1 p1 px1
  a0=$(ticks "$app_pid"); ax0=$(ticks "$app_x"); p0=$(ticks "$pen_pid"); px0=$(ticks "$pen_x")
  sleep "$seconds"
  a1=$(ticks "$app_pid"); ax1=$(ticks "$app_x"); p1=$(ticks "$pen_pid"); px1=$(ticks "$pen_x")
  awk -v label="$label" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v rss="$(rss_mb "$app_pid")" \
    -v a=$((a1 - a0)) -v ax=$((ax1 - ax0)) -v p=$((p1 - p0)) -v px=$((px1 - px0)) 'BEGIN {
      f = 100 / hz / s
      ratio = (a + ax) > 0 ? sprintf("%.2f", (p + px) / (a + ax)) : "inf"
      printf "%-28s app %.2f %% + X %.2f %%   xpenguins %.2f %% + X %.2f %%   xpenguins/app %s   app rss %s MB\n",
        label, a * f, ax * f, p * f, px * f, ratio, rss }'
  kill "$app_pid" "$pen_pid" "$app_x" "$pen_x" 2>/dev/null || true
  pkill -f "picom --backend xrender --no-fading-openclose" 2>/dev/null || true
  wait 2>/dev/null || true
}

# The app, visible, in a nested KWin session on its own display with the overlays shown as
# $overlays says; prints the app's share and that of the session's servers, and sets $cost.
kwin_round() {
  local overlays=$1 run="$tmp/run-$1"
  start_display "kwin-$overlays"; local host_x=$xserver
  mkdir -m 700 -p "$run"
  # A copy: containers refuse the file capabilities the installed one carries.
  [ -x "$tmp/kwin_wayland" ] || cp /usr/bin/kwin_wayland "$tmp/kwin_wayland"
  XDG_RUNTIME_DIR=$run "$tmp/kwin_wayland" --x11-display "$display" --socket wl-bench --xwayland \
    --width 1920 --height 1080 "sh -c 'echo \$DISPLAY > $run/x11; exec sleep infinity'" >/dev/null 2>&1 &
  local kwin=$!
  pids+=("$kwin")
  for _ in $(seq 300); do [ -s "$run/x11" ] && break; sleep 0.1; done
  local xwayland
  xwayland=$(pgrep -P "$kwin" Xwayland | head -1)
  display=$(cat "$run/x11") APP_ENV="XDG_RUNTIME_DIR=$run WAYLAND_DISPLAY=wl-bench BONKBELL_OVERLAYS=$overlays \
    ${APP_ENV:-}" start_app "kwin-$overlays" true
  local app_pid=$pid
  sleep 6 # let it settle
  local a0 s0 a1 s1
  a0=$(ticks "$app_pid"); s0=$(($(ticks "$kwin") + $(ticks "$xwayland") + $(ticks "$host_x")))
  sleep "$seconds"
  a1=$(ticks "$app_pid"); s1=$(($(ticks "$kwin") + $(ticks "$xwayland") + $(ticks "$host_x")))
  cost=$((a1 - a0 + s1 - s0))
  awk -v label="nested KWin, $overlays" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v rss="$(rss_mb "$app_pid")" \
    -v a=$((a1 - a0)) -v x=$((s1 - s0)) 'BEGIN {
      f = 100 / hz / s
      printf "%-28s app %.2f %% + KWin, XWayland and X %.2f %%   app rss %s MB\n", label, a * f, x * f, rss }'
  kill "$app_pid" "$kwin" "$host_x" 2>/dev/null || true
  wait 2>/dev/null || true
}

round "visible, picom" true yes
round "visible, no compositor" true no
round "hidden, no compositor" false no
kwin_round layer-shell; native=$cost
kwin_round x11; xwayland=$cost
awk -v n="$native" -v x="$xwayland" 'BEGIN { printf "layer-shell/XWayland %s\n", (x > 0 ? sprintf("%.2f", n / x) : "inf") }'

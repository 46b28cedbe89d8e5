#!/usr/bin/env bash
# Runs a command inside a private desktop session for the tests: its own HOME and XDG
# directories, its own session bus and its own X display. Everything is torn down on exit.
#   tools/test-session.sh ctest --preset default
set -euo pipefail

session=$(mktemp -d /tmp/bonkbell-session.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$session"
}
trap cleanup EXIT

mkdir -p "$session"/{home,run,data,config,state}
chmod 700 "$session/run"
export HOME=$session/home XDG_RUNTIME_DIR=$session/run
export XDG_DATA_HOME=$session/data XDG_CONFIG_HOME=$session/config XDG_STATE_HOME=$session/state
unset BONKBELL_INBOX BONKBELL_POLL_SECONDS BONKBELL_STRIPE_BASE BONKBELL_RC_BASE

# Session bus.
info=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=${info%%$'\n'*}
pids+=("${info##*$'\n'}")

# X display: Xvfb picks a free display number and writes it to a file.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$session/display" 2>"$session/xvfb.log" &
pids+=("$!")
for _ in $(seq 100); do
  [ -s "$session/display" ] && break
  sleep 0.05
done
display=$(tr -d '[:space:]' <"$session/display")
[ -n "$display" ] || { echo "Xvfb did not start:" >&2; cat "$session/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display

"$@"

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
unset BONKBELL_INBOX BONKBELL_POLL_SECONDS BONKBELL_STRIPE_BASE BONKBELL_RC_BASE BONKBELL_TEST_KEYRING

# Session bus.
info=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=${info%%$'\n'*}
pids+=("${info##*$'\n'}")

# Secret store: a new keyring (XDG_DATA_HOME is empty) created with a throwaway password and
# left unlocked, so nothing ever prompts. The daemon needs a non-empty stdin for --unlock.
# BONKBELL_TEST_KEYRING tells the keychain tests they may write to this store and not to the
# user's own keyring.
if command -v gnome-keyring-daemon >/dev/null; then
  keyring=$(echo ci | gnome-keyring-daemon --replace --daemonize --unlock --components=secrets 2>"$session/keyring.log" || true)
  while IFS= read -r line; do
    case $line in GNOME_KEYRING_CONTROL=*) export "$line" ;; esac
  done <<<"$keyring"
  owner=
  for _ in $(seq 100); do
    owner=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null) && break
    sleep 0.05
  done
  if [ -n "$owner" ]; then
    pids+=("${owner##* }")
    export BONKBELL_TEST_KEYRING=1
  else
    echo "gnome-keyring-daemon did not start; the keychain tests will be skipped:" >&2
    cat "$session/keyring.log" >&2
  fi
fi

# Sound: a private PulseAudio whose default output is a null sink, so sounds really play
# (the sound tests record through a pipe sink of their own). It keeps its socket in this
# session's XDG_RUNTIME_DIR and writes its pid file there.
unset PULSE_SERVER PULSE_SINK
if command -v pulseaudio >/dev/null; then
  if pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false -n \
      --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
      --log-target=file:"$session/pulseaudio.log" && [ -s "$XDG_RUNTIME_DIR/pulse/pid" ]; then
    pids+=("$(cat "$XDG_RUNTIME_DIR/pulse/pid")")
  else
    echo "pulseaudio did not start; the sound tests will be skipped:" >&2
    cat "$session/pulseaudio.log" >&2 || true
  fi
fi

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

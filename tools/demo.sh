#!/usr/bin/env bash
# Runs the app on a private X display and writes screenshots to docs/: the monkey at rest,
# a slap with its note, each kind of note, the settings window and the tray menu.
#   tools/test-session.sh tools/demo.sh [build-dir]
set -euo pipefail
build=${1:-build}
app=$(realpath "$build/bin/bonkbell")
docs=$(realpath docs)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
export BONKBELL_INBOX=$work/inbox
unset QT_QPA_PLATFORM
mkdir -p "$BONKBELL_INBOX" "$docs"

shot() { import -window root "$work/full.png" && convert "$work/full.png" -crop "$2" +repage "$docs/$1"; echo "wrote docs/$1"; }
drop() {
  local name=$1 json=$2
  printf '%s' "$json" >"$BONKBELL_INBOX/.$name.tmp" && mv "$BONKBELL_INBOX/.$name.tmp" "$BONKBELL_INBOX/$name.json"
}

xsetroot -solid '#4a6f8a' 2>/dev/null || convert -size 1920x1080 xc:'#4a6f8a' "$work/bg.png"
picom --backend xrender --no-fading-openclose >/dev/null 2>&1 & pids+=($!)
if command -v trayer >/dev/null; then
  trayer --edge bottom --align right --widthtype request --height 28 --tint 0x303030 --transparent true --alpha 0 \
    >/dev/null 2>&1 & pids+=($!)
fi
sleep 0.5
"$app" >"$work/app.log" 2>&1 & pids+=($!)
sleep 2.5

# The first run opens the settings window: the app's one big window named Bonkbell.
for window in $(xdotool search --name '^Bonkbell$' || true); do
  width=$(xdotool getwindowgeometry "$window" | awk -F'[ x]' '/Geometry/ {print $4}')
  [ "${width:-0}" -gt 200 ] || continue
  import -window "$window" "$docs/settings-window.png" && echo "wrote docs/settings-window.png"
  xdotool windowunmap "$window" || true
done
sleep 0.5
shot monkey-at-rest.png 420x520+1500+0

drop 1-sale '{"kind":"sale","headline":"New sale!","who":"Jane Doe (Acme Inc.)","detail":"$49.00 · Pro plan"}'
sleep 0.95
shot slap-with-note.png 760x560+1160+0

i=2
for json in \
  '{"kind":"onboarding","headline":"New signup!","who":"Test Monkey (Banana Co.)","detail":"Just finished signing up"}' \
  '{"kind":"renewal","headline":"Renewal!","who":"Recurring payment","detail":"$12.00 CAD"}' \
  '{"kind":"sale","headline":"New sale!","who":"Test Customer","detail":"$1.00","test":true}' \
  '{"kind":"sale","headline":"New sale!","who":"Old","at":"2020-01-01T00:00:00Z"}'; do
  sleep 12 # the previous note stays 8 s, falls, and the monkey swings back
  drop "$i-event" "$json"
  sleep 0.95
  shot "note-$i.png" 760x560+1160+0
  i=$((i + 1))
done

if command -v trayer >/dev/null; then
  sleep 12
  xdotool mousemove 1905 1066 click 1 || true
  sleep 0.8
  shot tray-menu.png 420x560+1500+520
fi
cat "$work/app.log"

#!/usr/bin/env bash
# Runs the app on a private X display and writes screenshots to docs/: the monkey at rest,
# a slap with its note, each kind of note, the settings window, one whole slap as an animation
# (slap.gif) and the tray menu, also with its Recent submenu open.
#   tools/test-session.sh tools/demo.sh [build-dir]
set -euo pipefail
build=${1:-build}
app=$(realpath "$build/bin/bonkbell")
recorder=$(realpath "$build/tools/record_screen")
docs=$(realpath docs)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
export BONKBELL_INBOX=$work/inbox
unset QT_QPA_PLATFORM
mkdir -p "$BONKBELL_INBOX" "$docs"

shot() { import -window root "$work/full.png" && convert "$work/full.png" -crop "$2" +repage "$docs/$1"; echo "wrote docs/$1"; }
# Frames with their capture times → one GIF: cropped to the box that holds everything but the
# backdrop in any frame, one shared palette (pixel art on a plain colour needs few), and each
# frame shown for as long as it was on screen.
animate() {
  local dir=$1 box args=() name at cs previous= previous_cs
  box=$(convert "$dir"/frame-*.png -fuzz 3% -format '%@\n' info: | awk -F'[x+]' '
    NR == 1 || $3 < x { x = $3 } NR == 1 || $4 < y { y = $4 }
    $3 + $1 > r { r = $3 + $1 } $4 + $2 > b { b = $4 + $2 }
    END { m = 16; x = x > m ? x - m : 0; y = y > m ? y - m : 0; printf "%dx%d+%d+%d", r + m - x, b + m - y, x, y }')
  while read -r name at; do
    cs=$(((at + 5) / 10)) # GIF delays are in hundredths of a second
    [ -n "$previous" ] && args+=(-delay $((cs - previous_cs)) "$dir/$previous")
    previous=$name previous_cs=$cs
  done <"$dir/times"
  args+=(-delay 100 "$dir/$previous") # a pause at rest before the loop starts again
  convert "${args[@]}" -crop "$box" +repage +dither -colors 255 +remap -layers Optimize -loop 0 "$docs/$2"
  echo "wrote docs/$2 ($(identify "$docs/$2" | wc -l) frames, $(stat -c %s "$docs/$2") bytes, $box of the corner)"
}
drop() {
  local name=$1 json=$2
  printf '%s' "$json" >"$BONKBELL_INBOX/.$name.tmp" && mv "$BONKBELL_INBOX/.$name.tmp" "$BONKBELL_INBOX/$name.json"
}

xsetroot -solid '#4a6f8a' 2>/dev/null || convert -size 1920x1080 xc:'#4a6f8a' "$work/bg.png"
compositor() { picom --backend xrender --no-fading-openclose >/dev/null 2>&1 & picom=$!; pids+=($picom); }
compositor
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

sale='{"kind":"sale","headline":"New sale!","who":"Jane Doe (Acme Inc.)","detail":"$49.00 · Pro plan",'\
'"amount":49,"currency":"usd"}'
drop 1-sale "$sale"
sleep 0.95
shot slap-with-note.png 760x560+1160+0

i=2
for json in \
  '{"kind":"onboarding","headline":"New signup!","who":"Test Monkey (Banana Co.)","detail":"Just finished signing up"}' \
  '{"kind":"renewal","headline":"Renewal!","who":"Recurring payment","detail":"$12.00 CAD","amount":12,"currency":"cad"}' \
  '{"kind":"sale","headline":"New sale!","who":"Test Customer","detail":"$1.00","test":true}' \
  '{"kind":"sale","headline":"New sale!","who":"Old","at":"2020-01-01T00:00:00Z"}'; do
  sleep 12 # the previous note stays 8 s, falls, and the monkey swings back
  drop "$i-event" "$json"
  sleep 0.95
  shot "note-$i.png" 760x560+1160+0
  i=$((i + 1))
done

# One slap, from just before the swing until the note has fallen away, grabbed at a steady rate.
# Without the compositor: under picom the first frames of a slap also show a stale picture of
# the monkey at its hit pose.
sleep 11
kill "$picom" 2>/dev/null || true # it may have gone by itself
sleep 1
frames=$work/frames
mkdir -p "$frames"
closed=$(grep -c 'note closed' "$work/app.log" || true)
"$recorder" "$frames" 960x640+960+0 40 "$frames/stop" 30 & recording=$!
pids+=($recording)
sleep 0.4
drop 6-sale "$sale"
for _ in $(seq 300); do
  [ "$(grep -c 'note closed' "$work/app.log" || true)" -gt "$closed" ] && break
  sleep 0.1
done
sleep 0.8 # the note's fall, and a moment of the monkey back at rest
touch "$frames/stop"
wait "$recording"
animate "$frames" slap.gif
compositor

if command -v trayer >/dev/null; then
  sleep 3
  xdotool mousemove 1905 1066 click 1 || true
  sleep 0.8
  shot tray-menu.png 420x560+1500+520
  # Today's lines on top, and the Recent submenu (the third item that takes the keyboard) open.
  xdotool key Down Down Down Right || true
  sleep 0.8
  shot tray-menu-recent.png 760x600+1160+480
fi
cat "$work/app.log"

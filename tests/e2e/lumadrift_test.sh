#!/usr/bin/env bash
# Lumadrift under a private X server: the full-screen run over a folder of
# examples shows a picture and a mouse move ends it with status 0; the
# preview run draws inside a window another program made, and ends when
# that window goes.
set -euo pipefail
[ -n "${E2E_TRACE:-}" ] && set -x
BIN=${QUILLON_BIN_DIR:?}
SRC=${QUILLON_SOURCE_DIR:?}
source "$SRC/tests/e2e/x_session.sh"
command -v import >/dev/null || { echo "ImageMagick's import is missing"; exit 1; }

# A folder of a few examples and two files that cannot be shown.
folder="$E2E_TMP/textures"
mkdir -p "$folder"
cp "$SRC"/examples/{checkerboard,marble,seamless_tile,zebra}.qln "$folder"/
echo "not a picture" >"$folder/broken.jpg"
printf 'VERSION 2\nTEXTURE {\n WIDTH zzz\n' >"$folder/broken.qln"
mkdir -p "$XDG_CONFIG_HOME/Veltrana"
printf '[Settings]\nPath=%s\nDelay=2\nRecurse=1\n' "$folder" >"$XDG_CONFIG_HOME/Veltrana/Lumadrift.conf"

# The brightest channel of a window or the screen, 0..1.
brightest() { import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:maxima]' info:; }
wait_for_picture() {
  local level
  for _ in $(seq 1 300); do
    level=$(brightest "$1" || echo 0)
    awk -v l="$level" 'BEGIN { exit !(l > 0.05) }' && return 0
    sleep 0.2
  done
  echo "no picture appeared in $1" >&2
  cat "$E2E_TMP"/*.log >&2
  return 1
}

# Like e2e_wait_window, with room for a machine under load.
wait_visible() {
  local id
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window named '$1' appeared" >&2
  return 1
}

# A window mapped while openbox is still starting can stay unmapped: wait
# until the window manager has announced itself.
for _ in $(seq 1 300); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

# ---- Full screen ----
"$BIN/lumadrift" /s 2>"$E2E_TMP/saver.log" &
saver=$!
e2e_pids+=($saver)
saver_window=$(wait_visible Lumadrift) || {
  for w in $(xdotool search --name Lumadrift); do xwininfo -id "$w" | grep -E 'Window id|Map State|geometry'; done
  cat "$E2E_TMP/saver.log"; exit 1; }
wait_for_picture "$saver_window"
[ -n "${E2E_SHOTS:-}" ] && import -window root "$E2E_SHOTS/lumadrift-fullscreen.png"
kill -0 $saver  # still running: showing a picture is no input
# The first move only tells where the mouse is; the next one ends the run.
xdotool mousemove 300 300
sleep 0.5
kill -0 $saver
xdotool mousemove 320 310
status=0
for _ in $(seq 1 50); do kill -0 $saver 2>/dev/null || break; sleep 0.1; done
wait $saver || status=$?
[ "$status" -eq 0 ] || { echo "full-screen run ended with $status"; cat "$E2E_TMP/saver.log"; exit 1; }

# ---- Preview inside another program's window ----
xmessage -geometry 360x240+40+40 -title "preview host" "Lumadrift preview" &
host=$!
e2e_pids+=($host)
host_window=$(wait_visible "preview host")
"$BIN/lumadrift" -window-id "$host_window" 2>"$E2E_TMP/preview.log" &
preview=$!
e2e_pids+=($preview)
# Our window appears as a child of the host's and draws there.
child=""
for _ in $(seq 1 150); do
  child=$(xwininfo -children -id "$host_window" | awk '/"Lumadrift"/ { print $1; exit }')
  [ -n "$child" ] && break
  sleep 0.2
done
[ -n "$child" ] || { echo "the preview made no window inside the host"; cat "$E2E_TMP/preview.log"; exit 1; }
wait_for_picture "$child"
[ -n "${E2E_SHOTS:-}" ] && import -window "$host_window" "$E2E_SHOTS/lumadrift-preview.png"
kill -0 $preview
# The host goes away: the preview notices and ends by itself.
kill $host
status=0
for _ in $(seq 1 50); do kill -0 $preview 2>/dev/null || break; sleep 0.1; done
wait $preview || status=$?
[ "$status" -eq 0 ] || { echo "preview ended with $status"; cat "$E2E_TMP/preview.log"; exit 1; }

# A window id that names nothing is refused.
if "$BIN/lumadrift" -window-id 0x7ffffff 2>/dev/null; then
  echo "a missing window was accepted"; exit 1
fi
echo "lumadrift end-to-end: ok"

#!/usr/bin/env bash
# Generate Desktop end to end: the editor renders the opened texture at the
# screen's size, writes the wallpaper file and hands it to the desktop's
# setter (a fake pcmanfm-qt that records its arguments). The splash comes
# and goes on the way. Every wait is bounded, so a failure says where.
E2E_SCREEN=640x480x24
source "$(dirname "$0")/x_session.sh"

fake="$E2E_TMP/fakebin"
mkdir -p "$fake"
cat >"$fake/pcmanfm-qt" <<FAKE
#!/bin/sh
printf '%s\n' "\$@" >"$E2E_TMP/setter.log"
FAKE
chmod +x "$fake/pcmanfm-qt"
export XDG_CURRENT_DESKTOP=LXQt PATH="$fake:$PATH"

# No tip of the day: a dialog in front of the main window takes its keys.
mkdir -p "$XDG_CONFIG_HOME/Veltrana"
printf '[Tip]\nStartUp=1\n' >"$XDG_CONFIG_HOME/Veltrana/Quillon.conf"
"$QUILLON_BIN_DIR/quillon" --seed 5 "$QUILLON_SOURCE_DIR/examples/clouds.qln" >"$E2E_TMP/quillon.log" 2>&1 &
e2e_pids+=($!)

main=$(e2e_wait_window "clouds\.qln" || e2e_wait_window "clouds\.qln") ||
  { cat "$E2E_TMP/quillon.log"; exit 1; }
# Layer menu, Generate Desktop, until the dialog shows (the splash takes the
# first key while it is up, and the document may still be opening).
props=""
for _ in $(seq 1 40); do
  e2e_activate "$main"
  xdotool key --clearmodifiers alt+l
  sleep 0.3
  xdotool key --clearmodifiers g
  for _ in $(seq 1 10); do
    props=$(xdotool search --onlyvisible --name "^Desktop Properties" 2>/dev/null | head -n 1) && [ -n "$props" ] && break 2
    sleep 0.1
  done
  xdotool key --clearmodifiers Escape
done
[ -n "$props" ] || { echo "Generate Desktop opened no dialog"; cat "$E2E_TMP/quillon.log"; exit 1; }
e2e_activate "$props"
xdotool key --clearmodifiers Return

e2e_wait_window "Generate Desktop" >/dev/null
for _ in $(seq 1 600); do
  [ -s "$E2E_TMP/setter.log" ] && break
  sleep 0.1
done
[ -s "$E2E_TMP/setter.log" ] || { echo "the setter was never called"; cat "$E2E_TMP/quillon.log"; exit 1; }

wallpaper="$XDG_DATA_HOME/quillon/QuillonBitmap.bmp"
expected=$(printf '%s\n' --set-wallpaper "$wallpaper" --wallpaper-mode tile)
[ "$(cat "$E2E_TMP/setter.log")" = "$expected" ] ||
  { echo "setter arguments:"; cat "$E2E_TMP/setter.log"; exit 1; }
# Expanded: the screen's size, 24 bits on a 24-bit screen.
identify -format '%w %h\n' "$wallpaper" | grep -qx '640 480' ||
  { identify "$wallpaper"; exit 1; }
import -window root "$E2E_TMP/desktop.png"
[ -n "${E2E_SCREENSHOT:-}" ] && cp "$E2E_TMP/desktop.png" "$E2E_SCREENSHOT"
echo "Generate Desktop installed $wallpaper"

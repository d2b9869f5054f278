#!/usr/bin/env bash
# Generate Desktop end to end: the editor renders the opened texture at the
# screen's size, writes the wallpaper file and hands it to the desktop's
# setter (a fake pcmanfm-qt that records its arguments). The splash and the
# tip of the day come and go on the way.
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

"$QUILLON_BIN_DIR/quillon" --seed 5 "$QUILLON_SOURCE_DIR/examples/clouds.qln" >"$E2E_TMP/quillon.log" 2>&1 &
e2e_pids+=($!)

# The tip of the day opens at the first start; Escape closes it (the first
# key only takes the splash away while it is up).
tips=$(e2e_wait_window "Tip of the Day")
sleep 0.5
while xdotool search --onlyvisible --name "Tip of the Day" >/dev/null 2>&1; do
  xdotool windowactivate --sync "$tips" key Escape 2>/dev/null || true
  sleep 0.5
done

main=$(e2e_wait_window "Quillon")
sleep 1  # the document opens inside the main window
xdotool windowactivate --sync "$main"
# The Layer menu (the second of the menu bar), then its Generate Desktop.
xdotool mousemove 61 27 click 1
sleep 0.5
xdotool key g
props=$(e2e_wait_window "Desktop Properties")
xdotool windowactivate --sync "$props" key Return

e2e_wait_window "Generate Desktop" >/dev/null
for _ in $(seq 1 300); do
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

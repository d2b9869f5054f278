#!/usr/bin/env bash
# Makes the screenshots of docs/lumadrift.md: the full-screen run over a few
# example textures, under a private X server.
#   scripts/lumadrift-screenshots.sh [build/bin]
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(cd "${1:-$SRC/build/bin}" && pwd)
OUT="$SRC/docs/images"
export E2E_SCREEN=1280x720x24
source "$SRC/tests/e2e/x_session.sh"
mkdir -p "$OUT"

folder="$E2E_TMP/textures"
mkdir -p "$folder" "$XDG_CONFIG_HOME/Veltrana"
cp "$SRC/examples/${SHOT_EXAMPLE:-seamless_tile}.qln" "$folder"/
printf '[Settings]\nPath=%s\nDelay=60\nRecurse=1\n' "$folder" >"$XDG_CONFIG_HOME/Veltrana/Lumadrift.conf"
for _ in $(seq 1 300); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
"$BIN/lumadrift" /s &
e2e_pids+=($!)
e2e_wait_window Lumadrift >/dev/null
# Rendering takes a few seconds; the picture then stays for the delay.
sleep "${SHOT_WAIT:-12}"
import -window root "$OUT/lumadrift-fullscreen.png"
echo "wrote $OUT/lumadrift-fullscreen.png"

# The settings dialog, both pages.
"$BIN/lumadrift" /c &
e2e_pids+=($!)
dialog=$(e2e_wait_window "Lumadrift Properties")
sleep 1
import -window "$dialog" "$OUT/lumadrift-settings.png"
xdotool key --window "$dialog" ctrl+Tab
sleep 0.5
import -window "$dialog" "$OUT/lumadrift-image-properties.png"
echo "wrote the settings pages"

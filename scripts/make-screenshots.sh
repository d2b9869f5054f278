#!/usr/bin/env bash
# Makes the editor's screenshots for the documentation under a private X
# server (Xvfb with openbox, as the end-to-end tests run):
#   docs/images/editor-main.png         a document with its tree and properties
#   docs/images/editor-preview.png      a finished preview
#   docs/images/editor-tree-menu.png    the layer tree's context menu
#   docs/images/editor-new-texture.png  the New Texture dialog
# Usage: scripts/make-screenshots.sh [BUILD_BIN_DIR]   (default build/bin)
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
[ -x "$bin/quillon" ] || { echo "no editor at $bin/quillon: build it first"; exit 1; }
for tool in import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs imagemagick)"; exit 1; }
done
export E2E_SCREEN=1024x720x24
source "$root/tests/e2e/x_session.sh"
out="$root/docs/images"
mkdir -p "$out"

# PNG at full colour, without metadata, so that a new run changes a picture
# only when the window changed.
shot() {  # shot WINDOW FILE
  import -silent -window "$1" "$E2E_TMP/shot.png"
  convert "$E2E_TMP/shot.png" -strip -define png:compression-level=9 \
    -define png:exclude-chunks=date,time "$out/$2"
  echo "wrote docs/images/$2"
}
close_tip() {
  local tip
  if tip=$(xdotool search --onlyvisible --name "Tip of the Day" 2>/dev/null | head -n 1) && [ -n "$tip" ]; then
    xdotool windowactivate --sync "$tip" key --clearmodifiers Escape
    sleep 0.5
  fi
}

document="$E2E_TMP/marble.qln"
cp "$root/examples/marble.qln" "$document"
"$bin/quillon" --seed 7 "$document" >"$E2E_TMP/quillon.log" 2>&1 &
e2e_pids+=($!)
main=$(e2e_wait_window "Quillon")
sleep 1.5
close_tip
xdotool windowactivate --sync "$main"
sleep 0.5

# The texture is selected: its properties show beside the tree.
shot root editor-main.png

# The tree's context menu, from the keyboard's menu key, on the first layer.
xdotool key --clearmodifiers Down
sleep 0.3
xdotool key --clearmodifiers Menu
sleep 0.7
shot root editor-tree-menu.png
xdotool key --clearmodifiers Escape Up
sleep 0.3

# A finished preview of the whole texture.
xdotool key --clearmodifiers F5
preview=$(e2e_wait_window "^Synthesize$")
for _ in $(seq 1 300); do
  # Done replaces Cancel when the picture is complete; the title stays, so
  # wait for the worker through the Save button's state: Alt+S opens the
  # dialog only then, and Escape closes it again.
  xdotool windowactivate --sync "$preview" key --clearmodifiers alt+s 2>/dev/null || true
  if dialog=$(xdotool search --onlyvisible --name "^Save As$" 2>/dev/null | head -n 1) && [ -n "$dialog" ]; then
    xdotool windowactivate --sync "$dialog" key --clearmodifiers Escape
    break
  fi
  sleep 0.2
done
sleep 0.5
xdotool windowactivate --sync "$preview"
xdotool mousemove --window "$preview" 80 120
sleep 0.5
shot "$preview" editor-preview.png
xdotool key --clearmodifiers Escape
sleep 0.5

# The New Texture dialog.
xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+n
dialog=$(e2e_wait_window "^New Texture$")
sleep 0.5
shot "$dialog" editor-new-texture.png
xdotool windowactivate --sync "$dialog" key --clearmodifiers Escape

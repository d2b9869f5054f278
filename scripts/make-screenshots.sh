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
# Brings a window to the front; the window manager may still be starting.
activate() {
  for _ in $(seq 1 50); do
    xdotool windowactivate --sync "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  xdotool windowfocus --sync "$1"
}
# The first visible window whose name matches, or nothing.
find_window() {
  xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true
}
close_tip() {
  local tip
  tip=$(find_window "Tip of the Day")
  if [ -n "$tip" ]; then
    activate "$tip"
    xdotool key --clearmodifiers Escape
    sleep 0.5
  fi
}

# No tip of the day at start-up: it would stand in front of the main window.
mkdir -p "$XDG_CONFIG_HOME/Veltrana"
printf '[Tip]\nStartUp=1\n' >"$XDG_CONFIG_HOME/Veltrana/Quillon.conf"
document="$E2E_TMP/marble.qln"
cp "$root/examples/marble.qln" "$document"
(cd "$E2E_TMP" && exec "$bin/quillon" --seed 7 "$document") >"$E2E_TMP/quillon.log" 2>&1 &
e2e_pids+=($!)
main=$(e2e_wait_window "marble\.qln" || e2e_wait_window "marble\.qln")
sleep 1.5
close_tip
activate "$main"
sleep 0.5

# The document window maximized inside the main window (a double click on
# its title bar, which sits at the top left of the document area).
xdotool mousemove --window "$main" 320 62 click --repeat 2 --delay 80 1
sleep 0.7
activate "$main"

# The texture opened in its tree, with its properties beside it.
xdotool key --clearmodifiers Right
sleep 0.7
shot root editor-main.png

# The tree's context menu on a layer, from the keyboard's menu key.
xdotool key --clearmodifiers Down
sleep 0.5
xdotool key --clearmodifiers Menu
sleep 0.7
shot root editor-tree-menu.png
xdotool key --clearmodifiers Escape
sleep 0.3
xdotool key --clearmodifiers Up
sleep 0.3

# A finished preview of the whole texture: F5 until the window shows, then
# Alt+S until the Save dialog opens (Save is enabled only at the end).
preview=""
for _ in $(seq 1 60); do
  activate "$main"
  xdotool key --clearmodifiers F5
  sleep 0.5
  preview=$(find_window "^Synthesize")
  [ -n "$preview" ] && break
done
[ -n "$preview" ] || { echo "no preview opened"; cat "$E2E_TMP/quillon.log"; exit 1; }
for _ in $(seq 1 120); do
  activate "$preview"
  xdotool key --clearmodifiers alt+s
  sleep 0.5
  dialog=$(find_window "^Save As")
  if [ -n "$dialog" ]; then
    activate "$dialog"
    xdotool key --clearmodifiers Escape
    break
  fi
done
sleep 0.5
activate "$preview"
xdotool mousemove --window "$preview" 120 140
sleep 0.5
shot "$preview" editor-preview.png
xdotool key --clearmodifiers Escape
sleep 0.5

# The New Texture dialog.
activate "$main"
xdotool key --clearmodifiers ctrl+n
dialog=$(e2e_wait_window "^New Texture")
sleep 0.5
shot "$dialog" editor-new-texture.png
activate "$dialog"
xdotool key --clearmodifiers Escape

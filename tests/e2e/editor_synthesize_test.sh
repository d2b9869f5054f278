#!/usr/bin/env bash
# The real editor under an X server: open an example, synthesize it with F5,
# save the picture through the Save dialog, and compare it byte for byte
# with quillon-render's picture of the same document and seed.
source "$(dirname "$0")/x_session.sh"
bin=${QUILLON_BIN_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/build/bin}
source_dir=${QUILLON_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
seed=20261208
document="$E2E_TMP/clouds.qln"
cp "$source_dir/examples/clouds.qln" "$document"
picture="$E2E_TMP/editor.bmp"
# No tip of the day at start-up: it would stand in front of the main window.
mkdir -p "$XDG_CONFIG_HOME/Veltrana"
printf '[Tip]\nStartUp=1\n' >"$XDG_CONFIG_HOME/Veltrana/Quillon.conf"
# Started in the scratch folder: the Save dialog opens there.
(cd "$E2E_TMP" && exec "$bin/quillon" --seed "$seed" "$document") >"$E2E_TMP/quillon.log" 2>&1 &
e2e_pids+=($!)
# The main window, named after the open document. A loaded machine may
# take a while to start a Qt program.
main=$(e2e_wait_window "clouds\.qln" || e2e_wait_window "clouds\.qln") || {
  cat "$E2E_TMP/quillon.log"
  exit 1
}
# Let the start-up settle (a tip of the day is closed if one shows).
sleep 1
if tip=$(xdotool search --onlyvisible --name "Tip of the Day" 2>/dev/null | head -n 1) && [ -n "$tip" ]; then
  e2e_activate "$tip"
  xdotool key --clearmodifiers Escape
fi
# F5 until the preview shows (the document may still be opening; once a
# preview is open, F5 does nothing).
preview=""
for _ in $(seq 1 60); do
  e2e_activate "$main"
  xdotool key --clearmodifiers F5
  for _ in $(seq 1 10); do
    preview=$(xdotool search --onlyvisible --name "^Synthesize" 2>/dev/null | head -n 1) && [ -n "$preview" ] && break 2
    sleep 0.1
  done
done
[ -n "$preview" ] || { echo "F5 opened no preview"; cat "$E2E_TMP/quillon.log"; exit 1; }

# Save stays disabled until the synthesis is done: press it until the
# dialog shows, giving the dialog time to appear before pressing again.
dialog=""
for _ in $(seq 1 120); do
  e2e_activate "$preview"
  xdotool key --clearmodifiers alt+s
  for _ in $(seq 1 10); do
    dialog=$(xdotool search --onlyvisible --name "^Save As" 2>/dev/null | head -n 1) && [ -n "$dialog" ] && break 2
    sleep 0.1
  done
done
[ -n "$dialog" ] || { echo "the Save dialog never appeared"; cat "$E2E_TMP/quillon.log"; exit 1; }
# The first filter, "24-bit Texture Map (*.bmp)", is selected; type the whole path.
e2e_activate "$dialog"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$picture"
xdotool key --clearmodifiers Return
for _ in $(seq 1 100); do
  [ -s "$picture" ] && break
  sleep 0.1
done
[ -s "$picture" ] || { echo "the editor wrote no picture"; cat "$E2E_TMP/quillon.log"; exit 1; }

"$bin/quillon-render" --quiet --seed "$seed" --format bmp -o "$E2E_TMP/render.bmp" "$document"
if ! cmp "$picture" "$E2E_TMP/render.bmp"; then
  echo "the editor's picture differs from quillon-render's for seed $seed"
  exit 1
fi
# Done closes the preview; nothing is left rendering.
e2e_activate "$preview"
xdotool key --clearmodifiers Escape
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name "^Synthesize" >/dev/null 2>&1 || break
  sleep 0.1
done
if xdotool search --onlyvisible --name "^Synthesize" >/dev/null 2>&1; then
  echo "the preview did not close"
  exit 1
fi
echo "editor picture matches quillon-render (seed $seed)"

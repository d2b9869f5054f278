#!/usr/bin/env bash
# Opening documents as a file manager does: the first start opens the
# document named on its command line; a second start hands its document to
# the running editor and ends at once, and both documents are then open in
# the one editor.
source "$(dirname "$0")/x_session.sh"
bin=${QUILLON_BIN_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/build/bin}
source_dir=${QUILLON_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
cp "$source_dir/examples/clouds.qln" "$source_dir/examples/marble.qln" "$E2E_TMP/"
# No tip of the day in the way.
mkdir -p "$XDG_CONFIG_HOME/Veltrana"
printf '[Tip]\nStartUp=1\n' >"$XDG_CONFIG_HOME/Veltrana/Quillon.conf"

"$bin/quillon" "$E2E_TMP/clouds.qln" >"$E2E_TMP/first.log" 2>&1 &
first=$!
e2e_pids+=($first)
# A loaded machine may take a while to start a Qt program.
e2e_wait_window "clouds.qln" >/dev/null || e2e_wait_window "clouds.qln" >/dev/null || {
  cat "$E2E_TMP/first.log"
  exit 1
}

# The second start ends by itself once the running editor has the file.
timeout 30 "$bin/quillon" "$E2E_TMP/marble.qln" >"$E2E_TMP/second.log" 2>&1 || {
  echo "the second start did not end by itself"
  cat "$E2E_TMP/second.log"
  exit 1
}
kill -0 "$first" || { echo "the running editor is gone"; exit 1; }
# The running editor shows the handed-over document (its frame names the active one).
e2e_wait_window "marble.qln" >/dev/null || { echo "the document was not handed over"; exit 1; }
if [ "$(xdotool search --onlyvisible --class quillon 2>/dev/null | wc -l)" -eq 0 ]; then
  echo "no editor window is visible"
  exit 1
fi
echo "a second start handed its document to the running editor"

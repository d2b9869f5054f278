# Sourced by the end-to-end tests: starts a private Xvfb server with openbox
# (without a window manager nothing maximizes or takes the focus) and stops
# both when the test exits. Leaves DISPLAY set and a scratch folder in $E2E_TMP.
set -euo pipefail
for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
E2E_TMP=$(mktemp -d)
export HOME="$E2E_TMP/home" XDG_CONFIG_HOME="$E2E_TMP/config" XDG_DATA_HOME="$E2E_TMP/data"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
unset QT_QPA_PLATFORM
# The X keyboard library reads strings that are not NUL-terminated through
# strndup, which the sanitizer's strict string checks take for overflows.
if [ -n "${ASAN_OPTIONS:-}" ]; then export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}; fi
export QT_QPA_PLATFORM=xcb
e2e_pids=()
e2e_cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
    echo "--- windows on the screen when the test failed:"
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      echo "  $id: $(xdotool getwindowname "$id" 2>/dev/null)"
    done
  fi
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT
# -displayfd picks a free display number and writes it once the server is up;
# the file exists before the server starts, so the first read never fails.
: >"$E2E_TMP/display"
Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$E2E_TMP/display" >"$E2E_TMP/xvfb.log" 2>&1 &
e2e_pids+=($!)
e2e_display=""
for _ in $(seq 1 200); do
  e2e_display=$(tr -dc 0-9 <"$E2E_TMP/display")
  [ -n "$e2e_display" ] && break
  sleep 0.1
done
[ -n "$e2e_display" ] || { echo "Xvfb did not start"; cat "$E2E_TMP/xvfb.log"; exit 1; }
export DISPLAY=":$e2e_display"
openbox >"$E2E_TMP/openbox.log" 2>&1 &
e2e_pids+=($!)
# Waits until a window whose name matches $1 is mapped; prints its id.
e2e_wait_window() {
  local id
  for _ in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window named '$1' appeared" >&2
  return 1
}
# Brings a window to the front. Every try is bounded: xdotool's --sync waits
# for the window manager, which a loaded machine may keep waiting.
e2e_activate() {
  for _ in $(seq 1 25); do
    timeout 5 xdotool windowactivate --sync "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  timeout 5 xdotool windowfocus --sync "$1"
}

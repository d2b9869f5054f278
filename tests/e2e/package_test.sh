#!/usr/bin/env bash
# The Debian package: cpack builds it from the current build, it unpacks and
# runs from a scratch root, and dpkg installs and removes it there cleanly.
set -euo pipefail
[ -n "${E2E_TRACE:-}" ] && set -x
for tool in cpack dpkg dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done
build_dir=$(cd "$QUILLON_BIN_DIR/.." && pwd)
[ -f "$build_dir/CPackConfig.cmake" ] || { echo "no CPackConfig.cmake in $build_dir"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
echo "package: $(basename "$deb")"

dpkg-deb --field "$deb" Package Version Section Depends
dpkg-deb --contents "$deb" | awk '{print $6}' >"$work/contents"
for path in ./usr/bin/quillon-render ./usr/share/quillon/tips.txt ./usr/share/quillon/help/index.html \
    ./usr/share/applications/quillon.desktop ./usr/share/mime/packages/quillon.xml \
    ./usr/share/icons/hicolor/scalable/apps/quillon.svg ./usr/share/man/man1/quillon-render.1.gz \
    ./usr/share/doc/quillon/copyright; do
  grep -qx "$path" "$work/contents" || { echo "missing from the package: $path"; exit 1; }
done
if grep -q '^\./usr/share/quillon/SlideShow/.*\.qln$' "$work/contents"; then :; else
  echo "no slideshow textures in the package"; exit 1
fi
# Nothing of the build tree leaks in.
if grep -E 'CMakeFiles|\.a$|_tests$' "$work/contents"; then echo "build files in the package"; exit 1; fi

# Unpacked anywhere, the renderer runs and renders the examples it brings.
dpkg -x "$deb" "$work/root"
version=$("$work/root/usr/bin/quillon-render" --version)
echo "$version"
[[ "$version" == quillon-render\ * ]] || { echo "unexpected version line"; exit 1; }
"$work/root/usr/bin/quillon-render" -q --seed 1 --size 32x32 -o "$work/granite.png" \
  "$work/root/usr/share/quillon/examples/granite.qln"
[ -s "$work/granite.png" ]
gzip -t "$work/root/usr/share/man/man1/quillon-render.1.gz"

# Installed and removed by dpkg in a scratch root: nothing of it is left behind.
admin="$work/dpkg-root/var/lib/dpkg"
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
export PATH="$PATH:/usr/sbin:/sbin"
dpkg_root=(dpkg --root="$work/dpkg-root" --force-depends --force-not-root --force-script-chrootless
  --log=/dev/null)
"${dpkg_root[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
[ -x "$work/dpkg-root/usr/bin/quillon-render" ]
status=$(dpkg-query --admindir="$admin" -W -f='${Status}' quillon)
[ "$status" = "install ok installed" ] || { echo "dpkg status: $status"; exit 1; }
"${dpkg_root[@]}" --purge quillon >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
left=$(find "$work/dpkg-root" -path "$admin" -prune -o -type f -print 2>/dev/null || true)
[ -z "$left" ] || { echo "files left after removal:"; echo "$left"; exit 1; }
echo "package installs and removes cleanly"

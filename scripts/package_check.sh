#!/usr/bin/env bash
# Kestravon as others use it: installs a built tree to a temporary prefix
# and builds and tests the examples against that (not the build tree);
# then builds the Debian package, extracts it to a temporary root and
# builds and tests the minimal example against that.
#
#   scripts/package_check.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: scripts/package_check.sh BUILD_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags="-Wall -Wextra -Wpedantic -Werror"

echo "== install to a temporary prefix, build and test the examples against it"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here/examples" -B "$work/examples" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/examples" -j "$(nproc)"
ctest --test-dir "$work/examples" --output-on-failure

echo "== the Debian package"
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/kestravon_*.deb)
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\):/  \1:/p'
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/stimulus usr/include/kestravon/kestravon.h usr/include/kestravon/offscreen.h; do
  [ -e "$work/root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
config=$(find "$work/root" -name KestravonConfig.cmake)
[ -n "$config" ] || { echo "missing from the package: KestravonConfig.cmake"; exit 1; }
echo "  $(find "$work/root" -type f | wc -l) files, the CMake package at ${config#"$work/root"}"
cmake -S "$here/examples/flicker" -B "$work/flicker" -DCMAKE_PREFIX_PATH="$work/root/usr" -DCMAKE_CXX_FLAGS="$flags" \
  >/dev/null
cmake --build "$work/flicker" -j "$(nproc)"
ctest --test-dir "$work/flicker" --output-on-failure

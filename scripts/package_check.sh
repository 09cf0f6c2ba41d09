#!/usr/bin/env bash
# Kestravon as others use it, never the build tree: the examples built and
# their tests run against
#   1. the tree installed to a temporary prefix, and
#   2. the two Debian packages (`make package`) extracted to a temporary root,
# each time with CMake (find_package) and with pkg-config (a plain compiler
# command); then lintian on the packages.
#
#   scripts/package_check.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: scripts/package_check.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags=(-Wall -Wextra -Wpedantic -Werror)
jobs=$(nproc)

# with_cmake PREFIX NAME: the examples' own CMake project against PREFIX.
with_cmake() {
  cmake -S "$here/examples" -B "$work/$2" -DCMAKE_PREFIX_PATH="$1" -DCMAKE_CXX_FLAGS="${flags[*]}" >/dev/null
  cmake --build "$work/$2" -j "$jobs" >/dev/null
  ctest --test-dir "$work/$2" --output-on-failure | tail -n 3
}

# with_pkg_config PKGCONFIG_DIR NAME: each example's program linked with
# kestravon.pc, and its test with kestravon-headless.pc, then run.
with_pkg_config() {
  local out=$work/$2 example
  mkdir -p "$out"
  for example in flicker reaction_time; do
    local src=$here/examples/$example program test
    read -ra program <<<"$(PKG_CONFIG_PATH=$1 pkg-config --cflags --libs kestravon)"
    read -ra test <<<"$(PKG_CONFIG_PATH=$1 pkg-config --cflags --libs kestravon-headless gtest_main)"
    c++ "${flags[@]}" -o "$out/$example" "$src/$example.cpp" "${program[@]}"
    c++ "${flags[@]}" -o "$out/${example}_test" "$src/$example.cpp" "$src/${example}_test.cpp" "${test[@]}"
    "$out/${example}_test" --gtest_brief=1 | tail -n 1
  done
}

echo "== installed to a temporary prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(find "$prefix" -name kestravon.pc -printf '%h\n')
echo "-- CMake"
with_cmake "$prefix" cmake-prefix
echo "-- pkg-config"
with_pkg_config "$libdir" pkg-config-prefix

echo "== the Debian packages"
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
program_deb=$(ls "$work"/package/kestravon-stimulus_*.deb)
dev_deb=$(ls "$work"/package/libkestravon-dev_*.deb)
root=$work/root
for deb in "$program_deb" "$dev_deb"; do
  echo "$(basename "$deb"):"
  dpkg-deb --field "$deb" Package Version Section Maintainer Depends | sed 's/^/  /'
  dpkg-deb -x "$deb" "$root"
done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for f in usr/bin/kestravon-stimulus usr/share/man/man1/kestravon-stimulus.1.gz \
  usr/share/doc/kestravon-stimulus/copyright usr/share/doc/libkestravon-dev/copyright \
  usr/include/kestravon/kestravon.h usr/include/kestravon/offscreen.h \
  "usr/lib/$multiarch/libkestravon.a" "usr/lib/$multiarch/cmake/Kestravon/KestravonConfig.cmake" \
  "usr/lib/$multiarch/pkgconfig/kestravon.pc" "usr/lib/$multiarch/pkgconfig/kestravon-headless.pc"; do
  [ -e "$root/$f" ] || { echo "missing from the packages: $f"; exit 1; }
done
# Only the public surface: the entry function's headers stay out, and the
# CMake package exports the four targets and no more.
for f in startup.h application.h session_record.h command_line.h; do
  [ -z "$(find "$root/usr/include" -name "$f")" ] || { echo "installed, but internal: $f"; exit 1; }
done
exported=$(sed -n 's/^add_library(\(Kestravon::[a-z0-9]*\) .*/\1/p' "$root/usr/lib/$multiarch/cmake/Kestravon/KestravonTargets.cmake" |
  sort | tr '\n' ' ')
echo "  exported: $exported"
[ "$exported" = "Kestravon::headless Kestravon::kestravon Kestravon::sdl2 " ] || { echo "unexpected targets"; exit 1; }
"$root/usr/bin/kestravon-stimulus" --version
echo "-- CMake"
with_cmake "$root/usr" cmake-package
echo "-- pkg-config"
with_pkg_config "$root/usr/lib/$multiarch/pkgconfig" pkg-config-package

# Errors and warnings fail. Expected, as information only: the program's
# hardening-no-bindnow and hardening-no-fortify-functions, for the hardening
# flags are the distribution's build flags (dpkg-buildflags), which its own
# build of the package passes.
echo "== lintian"
lintian --fail-on error,warning --display-info "$program_deb" "$dev_deb" 2>&1 | grep -v 'root privileges'
echo "lintian: no errors or warnings"

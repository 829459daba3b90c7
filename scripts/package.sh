#!/usr/bin/env bash
# Builds the Debian package and prints its path.
#   scripts/package.sh                 a release build of its own in build-package/
#   scripts/package.sh --from BUILD    packages what an existing build folder built
# The release build maps the source and build folders away, so no path of
# this machine ends up in the binaries, and uses Debian's hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
src="$PWD"
if [ "${1:-}" = "--from" ]; then
  out="$(cd "${2:?build folder}" && pwd)"
else
  out="${1:-$src/build-package}"
  map="-ffile-prefix-map=$src=. -ffile-prefix-map=$out=."
  cxxflags="$map"
  cflags="$map"   # the generated trampolines' loader (cmake/LazyLibraries.cmake)
  ldflags="-Wl,-z,relro,-z,now"
  if command -v dpkg-buildflags >/dev/null; then
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) $map"
    cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS) $map"
    ldflags="$(dpkg-buildflags --get LDFLAGS)"
  fi
  cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_C_FLAGS="$cflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
fi
cmake --build "$out" -j"$(nproc)" --target molarix molarix-db molarix_install_files molarix_reports >/dev/null
rm -f "$out"/molarix_*.deb
(cd "$out" && cpack -G DEB >/dev/null 2>&1)
ls "$out"/molarix_*.deb

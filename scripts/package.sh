#!/usr/bin/env bash
# Builds the Debian package into build-package/ and prints its path.
# A release build of its own, with the source and build folders mapped
# away, so no path of this machine ends up in the binaries.
set -euo pipefail
cd "$(dirname "$0")/.."
src="$PWD"
out="${1:-$src/build-package}"
map="-ffile-prefix-map=$src=. -ffile-prefix-map=$out=."
# Debian's hardening flags where dpkg-buildflags is at hand.
cxxflags="$map"
ldflags="-Wl,-z,relro,-z,now"
if command -v dpkg-buildflags >/dev/null; then
  cxxflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $map"
  ldflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
fi
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$out" -j"$(nproc)" --target molarix molarix-db molarix_install_files molarix_reports >/dev/null
(cd "$out" && cpack -G DEB >/dev/null)
ls "$out"/molarix_*.deb

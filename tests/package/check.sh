#!/usr/bin/env bash
# Makes the Debian package, unpacks it into a throw-away root and checks it
# as a desktop would use it, then starts it from its menu entry for the
# first time (test_e2e PackagedFirstRunTest).
#   check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$(cd "$1" && pwd)"
bin="$(cd "$2" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Packaged from the build the other tests use: a release build of its own
# (scripts/package.sh alone) would double the build time.
deb="$("$src/scripts/package.sh" --from "$bin" | tail -n 1)"
[ -f "$deb" ] || fail "no package built"
echo "package: $deb"

# The README's install command names this very file (its folder is the
# build folder here) and apt takes it with every dependency.
install_cmd="$(sed -n 's|^    sudo apt install \(\./build-package/\)|\1|p' "$src/README.md")"
[ "$(grep -c . <<<"$install_cmd")" = 1 ] || fail "README has no single install command: $install_cmd"
shopt -s nullglob
named=("$bin/"${install_cmd#./build-package/})
shopt -u nullglob
[ "${#named[@]}" = 1 ] && [ "${named[0]}" = "$deb" ] || fail "README installs '$install_cmd', not $(basename "$deb")"
apt-get install --simulate --no-install-recommends "${named[0]}" >"$work/apt" 2>&1 || { cat "$work/apt"; fail "apt refuses the package"; }
grep -Eq '^(Inst molarix |molarix is already the newest)' "$work/apt" || { cat "$work/apt"; fail "apt would not install molarix"; }

# Control fields: version from the project, computed library dependencies.
version="$(dpkg-deb -f "$deb" Version)"
[[ "$version" == 1.* ]] || fail "version $version"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libsqlcipher0 libssl3 libmdb3 libqt6widgets6 libqt6printsupport6 libjpeg62-turbo qt6-qpa-plugins libpq5; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# Every dependency is satisfiable here (the end-to-end run below needs them).
IFS=',' read -ra deps <<<"$depends"
for d in "${deps[@]}"; do
  ok=no
  IFS='|' read -ra alts <<<"$d"
  for a in "${alts[@]}"; do
    name="$(sed -E 's/\(.*\)//; s/[[:space:]]//g' <<<"$a")"
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" && ok=yes
  done
  [ "$ok" = yes ] || fail "dependency not installed: $d"
done

root="$work/root"
dpkg -x "$deb" "$root"

# Files where the desktop entry and the program look for them.
entry="$root/usr/share/applications/gr.ortelis.Molarix.desktop"
[ -f "$entry" ] || fail "no desktop entry"
exec_cmd="$(sed -n 's/^Exec=//p' "$entry" | head -n 1)"
[ -x "$root/usr/bin/${exec_cmd%% *}" ] || fail "Exec '$exec_cmd' is not in usr/bin"
[ -x "$root/usr/bin/molarix-db" ] || fail "no molarix-db"
icon="$(sed -n 's/^Icon=//p' "$entry")"
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
grep -q "<svg" "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" || fail "icon is not SVG"
for s in 48 128; do
  p="$root/usr/share/icons/hicolor/${s}x${s}/apps/$icon.png"
  [ -f "$p" ] || fail "no ${s}px icon"
  [ "$(png_size "$p")" = "${s}x${s}" ] || fail "${s}px icon is $(png_size "$p")"
done
for f in "$src"/reports/files/*.RAV; do
  cmp -s "$f" "$root/usr/share/molarix/reports/$(basename "$f")" || fail "report $(basename "$f") missing or different"
done
for m in molarix molarix-db; do
  gzip -t "$root/usr/share/man/man1/$m.1.gz" || fail "man page $m"
done
metainfo="$root/usr/share/metainfo/gr.ortelis.Molarix.metainfo.xml"
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" || fail "metainfo names another desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"

desktop-file-validate "$entry"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo"
fi
if command -v lintian >/dev/null; then
  lintian --allow-root "$deb" >"$work/lintian" 2>&1 || true
  cat "$work/lintian"
  ! grep -q '^E:' "$work/lintian" || fail "lintian reports errors"
fi

# No path of the build machine inside the binaries. A sanitized build names
# its source files for the sanitizers' reports (GCC does not map those
# names), so there only a bare source file's path is let through.
for b in "$root"/usr/bin/*; do
  allowed='^$'
  if readelf -d "$b" | grep 'libasan\|libubsan' >/dev/null; then
    allowed="^($src|$bin)/[^ ]*\.(cpp|h)\$"
  fi
  if strings "$b" | grep -F -e "$src" -e "$bin" | grep -Ev "$allowed" >"$work/paths"; then
    head "$work/paths"
    fail "$(basename "$b") holds build paths"
  fi
done

MOLARIX_PACKAGE_ROOT="$root" "$bin/tests/test_e2e" PackagedFirstRunTest
echo "package checks passed"

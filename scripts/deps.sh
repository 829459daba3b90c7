#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need.
set -euo pipefail
pkgs=(g++ cmake make pkg-config ccache qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
      libsqlcipher-dev sqlcipher libssl-dev libjpeg62-turbo-dev libkainjow-mustache-dev
      poppler-utils xvfb xauth xdotool fonts-dejavu-core libbenchmark-dev qt6-qpa-plugins
      mdbtools mdbtools-dev dpkg-dev desktop-file-utils appstream lintian clang-format
      postgresql postgresql-contrib libpq-dev python3)
missing=()
# node and npm run the second Jet reader in the tests; any install of them will do.
command -v npm >/dev/null 2>&1 || pkgs+=(nodejs npm)
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

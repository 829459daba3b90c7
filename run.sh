#!/usr/bin/env bash
# Installs what is missing, builds, makes a demo practice folder when none
# exists, and starts the program there.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
practice="${MOLARIX_PRACTICE:-$PWD/demo-practice}"
if [ ! -f "$practice/data.mdb" ]; then
  mkdir -p "$practice"
  build/molarix-db demo "$practice"
fi
if [ -x build/molarix ]; then
  cd "$practice"
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$OLDPWD/build/molarix"
  fi
  exec "$OLDPWD/build/molarix"
fi
echo "Demo practice ready in $practice"

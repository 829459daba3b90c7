#!/usr/bin/env bash
# Configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"

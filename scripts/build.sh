#!/usr/bin/env bash
# Configures and builds into build/. Line tables only (-g1): backtraces still
# name function, file and line, and compiling and linking take a good part
# less than with full debug information.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_WERROR=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build build -j"$(nproc)"

#!/usr/bin/env bash
# Configures and builds into build/. With --sanitize, builds into
# build-sanitize/ with AddressSanitizer and UBSan instead, at -O1: the tests
# run there, so every test also looks for memory and undefined-behaviour
# faults without a second build. Line tables only (-g1): reports and
# backtraces still name function, file and line, and compiling and linking
# take a good part less than with full debug information.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --sanitize ]; then
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_WERROR=ON -DMOLARIX_SANITIZE=ON \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
  cmake --build build-sanitize -j"$(nproc)"
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_WERROR=ON \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
  cmake --build build -j"$(nproc)"
fi

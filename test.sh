#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")

# The data and receipt tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, in a build of their own.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$(nproc)" --target test_data test_receipts molarix-db
cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)" -R '^(data|receipts)[.]'

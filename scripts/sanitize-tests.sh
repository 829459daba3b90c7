#!/usr/bin/env bash
# Builds the data and receipt tests with AddressSanitizer and UBSan in
# build-sanitize/ and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOLARIX_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$(nproc)" --target test_data test_receipts molarix-db
cd build-sanitize
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)" -R '^(data|receipts)[.]'

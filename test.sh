#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
# Sources in the house style (.clang-format); `scripts/format-check.sh --fix` rewrites them.
scripts/format-check.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
# Each mutant of scripts/mutants/list.txt, applied in turn, must make its tests fail.
scripts/mutants.sh build
# The data and receipt tests again under AddressSanitizer and UBSan.
scripts/sanitize-tests.sh

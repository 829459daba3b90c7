#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Each stage's time
# is printed when it ends.
set -euo pipefail
cd "$(dirname "$0")"
stage() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "test.sh: $name took $((SECONDS - start)) s"
}
stage packages scripts/deps.sh
# Sources in the house style (.clang-format); `scripts/format-check.sh --fix` rewrites them.
stage format scripts/format-check.sh
# One build for every check, with AddressSanitizer and UBSan on.
stage build scripts/build.sh --sanitize
stage tests bash -c 'cd build-sanitize && ctest --output-on-failure -j"$(nproc)"'
# Each mutant of scripts/mutants/list.txt, applied in turn, must make its tests fail.
stage mutants scripts/mutants.sh build-sanitize

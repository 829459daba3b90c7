#!/bin/sh
# Long run of the crash test: kills the receipt worker N times (1000 unless
# given) and prints the figures (kills, units cut short, partial units).
# Usage: tests/crashkill.sh [N] [BUILD_DIR]
set -e
kills=${1:-1000}
build=${2:-$(dirname "$0")/../build}
# A long run outlasts the test framework's default limit per test function.
export MOLARIX_KILLS="$kills" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 QTEST_FUNCTION_TIMEOUT=36000000
exec "$build/tests/test_receipts" CrashSafetyTest killAtRandomPoints

#!/usr/bin/env bash
# Renders the user guide's pictures into docs/screenshots/ from a demo
# practice: the main window, a printed receipt, a tooth chart and the recall
# list.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
practice="$(mktemp -d)"
trap 'rm -rf "$practice"' EXIT
today=2026-03-16
build/molarix-db demo "$practice" --today "$today" >/dev/null
out="$PWD/docs/screenshots"
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen MOLARIX_DOCS_PRACTICE="$practice" MOLARIX_DOCS_TODAY="$today" \
  MOLARIX_PICTURES_DIR="$out" build/tests/test_app GuidePictures >/dev/null
# The top of the receipt's page (the receipt itself) as a picture; the PDF is not kept.
pdftoppm -png -r 70 -f 1 -l 1 -x 0 -y 0 -W 579 -H 400 -singlefile "$out/receipt.pdf" "$out/receipt"
rm -f "$out/receipt.pdf"
ls "$out"

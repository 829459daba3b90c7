#!/usr/bin/env bash
# The layers point one way: windows -> gui/ -> data/.
#  - data/ includes no widget, GUI or printing header and nothing outside data/;
#  - gui/ includes nothing from app/, reports/, dbtool/ or a window folder;
#  - only the shell (app/, main.cpp) and the tests include app/: a window
#    finds the windows it shows beside their classes, not in the shell.
# Usage: check-layers.sh SOURCE_DIR QT_INCLUDE_DIR
set -euo pipefail
src=${1:-$(dirname "$0")/..}
qtinc=${2:-}
fail=0
complain() { echo "$1: $2" >&2; fail=1; }
if [ -n "$qtinc" ] && [ ! -d "$qtinc/QtWidgets" ]; then
  echo "no QtWidgets headers under $qtinc" >&2
  exit 1
fi

while IFS= read -r f; do
  while IFS= read -r inc; do
    case "$inc" in
      \"data/*\") ;;
      \"*) complain "$f" "includes $inc, outside data/" ;;
      \<QtWidgets/*|\<QtGui/*|\<QtPrintSupport/*) complain "$f" "includes the GUI header $inc" ;;
      \<Q*)
        name=${inc#<}; name=${name%>}; name=${name#QtCore/}
        if [ -n "$qtinc" ]; then
          for mod in QtWidgets QtGui QtPrintSupport; do
            [ -e "$qtinc/$mod/$name" ] && complain "$f" "includes the GUI header $inc ($mod)"
          done
        fi ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"][^>"]*[>"]\).*/\1/p' "$f")
done < <(find "$src/data" -type f \( -name '*.cpp' -o -name '*.h' \))

for f in "$src"/gui/*; do
  while IFS= read -r inc; do
    case "$inc" in
      \"gui/*\"|\"data/*\"|\"ui_*\") ;;
      \"*) complain "$f" "includes $inc: gui/ may use only gui/ and data/" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\("[^"]*"\).*/\1/p' "$f")
done

while IFS= read -r f; do
  case "$f" in
    "$src"/app/*|"$src"/tests/*|"$src"/build*|"$src"/main.cpp) continue ;;
  esac
  while IFS= read -r inc; do
    case "$inc" in
      \"app/*) complain "$f" "includes $inc: only the shell uses app/" ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\("[^"]*"\).*/\1/p' "$f")
done < <(find "$src" \( -path "$src/.git" -o -path "$src/build*" \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print)

if [ $fail -eq 0 ]; then echo "layers: ok"; fi
exit $fail

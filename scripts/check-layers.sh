#!/usr/bin/env bash
# The layers point one way (docs/ARCHITECTURE.md draws them):
#   windows -> reports/ -> gui/ -> data/
# and inside data/ the rooms point one way too:
#   data/work, data/import -> data/practice -> data/db
# Every source file under the tree is placed by its top folder (and its room
# in data/); each include it names must point to a folder its place may use.
# A project header named in angle brackets, a path the check cannot place
# (no folder, "..", a macro) and a source in a folder the drawing does not
# know are refused too, so nothing slips past unseen.
# Usage: check-layers.sh SOURCE_DIR QT_INCLUDE_DIR
# Exit: 0 "layers: ok"; 1 a broken arrow (each one named); 2 the check itself
# could not run (never followed by "layers: ok").
set -euo pipefail
shopt -s nullglob

die() {
  echo "layers: check failed: $*" >&2
  exit 2
}
trap 'die "unexpected error on line $LINENO"' ERR

src=${1:-$(dirname "$0")/..}
qtinc=${2:-/usr/include/x86_64-linux-gnu/qt6}
[ -d "$src" ] || die "no source folder '$src'"
src=$(cd "$src" && pwd) || die "cannot enter '$src'"
for mod in QtCore QtGui QtWidgets QtPrintSupport; do
  [ -d "$qtinc/$mod" ] || die "no $mod headers under '$qtinc' (give the Qt include folder)"
done

windows=(customers receipts expenses appointments chart recall tools plans)
rooms=(db practice import work)

# What each place may include, by folder ("data" stands for every room).
declare -A may
may[data/db]="data/db"
may[data/practice]="data/db data/practice"
may[data/import]="data/db data/practice data/import"
may[data/work]="data/db data/practice data/work"
may[gui]="gui data"
may[reports]="reports gui data"
may[dbtool]="dbtool data"
may[assets]="assets"
for w in "${windows[@]}"; do may[$w]="$w reports gui data"; done
# The customer list opens the chart, the receipt and the plan windows; the
# plan window opens the receipt issuing window; the recall list opens the
# customer list. No other window knows another.
may[customers]+=" chart receipts plans"
may[plans]+=" receipts"
may[recall]+=" customers"
# The shell, the tests and the benchmarks may include anything; the picture
# makers in assets/ only Qt.
free=(app tests bench main.cpp)
# Places that may include no Qt GUI, widget or printing header.
nogui=(data/db data/practice data/import data/work dbtool)

is_in() {
  local x=$1
  shift
  local y
  for y in "$@"; do [ "$x" = "$y" ] && return 0; done
  return 1
}

# The place of a path relative to the source folder, in $place: "data/<room>"
# or its top folder; empty for a place the drawing does not know.
place_of() {
  local p=$1 top=${1%%/*} rest room
  place=
  if [ "$top" = "$p" ]; then # a file at the top
    if [ "$p" = main.cpp ]; then place=main.cpp; fi
  elif [ "$top" = data ]; then
    rest=${p#data/}
    room=${rest%%/*}
    if [ "$room" != "$rest" ] && is_in "$room" "${rooms[@]}"; then place="data/$room"; fi
  elif is_in "$top" "${windows[@]}" "${free[@]}" gui reports dbtool assets; then
    place=$top
  fi
}

exts=(-name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx'
  -o -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.hxx' -o -name '*.inl')
list=$(mktemp) || die "cannot make a temporary file"
hits=$(mktemp) || die "cannot make a temporary file"
trap 'rm -f "$list" "$hits"' EXIT
(cd "$src" && find . \( -path ./.git -o -path './build*' \) -prune -o \
  ! -type d \( "${exts[@]}" \) -print0) >"$list" || die "find failed under '$src'"
files=()
while IFS= read -r -d '' f; do files+=("${f#./}"); done <"$list"
[ ${#files[@]} -gt 0 ] || die "no sources under '$src'"

declare -A placeof
for f in "${files[@]}"; do
  place_of "$f"
  if [ -z "$place" ]; then
    case "$f" in
      data/*) die "$f: not in a room of data/ (${rooms[*]})" ;;
      */*) die "$f: the top folder '${f%%/*}' holds sources but has no place in the drawing" ;;
      *) die "$f: a source at the top of the tree has no place in the drawing" ;;
    esac
  fi
  placeof[$f]=$place
done

rc=0
(cd "$src" && grep -HnE '^[[:space:]]*#[[:space:]]*include' -- "${files[@]}") >"$hits" || rc=$?
[ $rc -le 1 ] || die "could not read every source (grep said $rc, above)"

fail=0
complain() {
  echo "$1: $2" >&2
  fail=1
}
re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]*)[>"]'
while IFS= read -r hit; do
  f=${hit%%:*}
  rest=${hit#*:}
  line=${rest%%:*}
  text=${rest#*:}
  where="$f:$line"
  from=${placeof[$f]:-}
  [ -n "$from" ] || die "$f: listed by grep but not by find"
  if ! [[ $text =~ $re ]]; then
    complain "$where" "an include the check cannot read: $text"
    continue
  fi
  kind=${BASH_REMATCH[1]}
  inc=${BASH_REMATCH[2]}
  top=${inc%%/*}
  if [ "$kind" = "<" ]; then
    dir=.
    [ "${f%/*}" = "$f" ] || dir=${f%/*}
    if [ -e "$src/$inc" ] || [ -e "$src/$dir/$inc" ] || { [ "$top" != "$inc" ] && [ -d "$src/$top" ]; }; then
      complain "$where" "includes <$inc>: a header of the program is named in quotes from the top of the tree"
      continue
    fi
    if is_in "$from" "${nogui[@]}"; then
      name=${inc#QtCore/}
      for mod in QtGui QtWidgets QtPrintSupport; do
        if [ "${inc#"$mod"/}" != "$inc" ] || [ -e "$qtinc/$mod/$name" ]; then
          complain "$where" "includes the GUI header <$inc> ($mod): $from has no windows"
          break
        fi
      done
    fi
    continue
  fi
  is_in "$from" "${free[@]}" && continue
  case "$inc" in
    */../* | ../* | ./* | /* | */./* | *//*)
      complain "$where" "includes \"$inc\": name it from the top of the tree, without '.' or '..'"
      continue
      ;;
  esac
  if [ "$top" = "$inc" ]; then
    case "$inc" in
      *.moc | moc_*.cpp) continue ;;
      ui_*.h) case "$from" in data/* | dbtool | assets) ;; *) continue ;; esac ;;
    esac
    complain "$where" "includes \"$inc\" without its folder: name it from the top of the tree"
    continue
  fi
  place_of "$inc"
  to=$place
  if [ -z "$to" ]; then
    complain "$where" "includes \"$inc\", in no place of the drawing"
    continue
  fi
  ok=0
  for allowed in ${may[$from]}; do
    if [ "$to" = "$allowed" ] || [ "${to%%/*}" = "$allowed" ]; then ok=1 && break; fi
  done
  [ $ok -eq 1 ] || complain "$where" "includes \"$inc\": $from may use only ${may[$from]}"
done <"$hits"

if [ $fail -ne 0 ]; then
  echo "layers: broken arrows (above)" >&2
  exit 1
fi
echo "layers: ok"

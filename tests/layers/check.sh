#!/usr/bin/env bash
# The layer check refuses each kind of broken arrow and fails loudly on its
# own errors: each case copies the tree's sources, plants one thing and runs
# the check on the copy.
# Usage: check.sh SOURCE_DIR QT_INCLUDE_DIR
set -euo pipefail
src=$(cd "${1:?source folder}" && pwd)
qtinc=${2:?Qt include folder}
check="$src/scripts/check-layers.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

mkdir "$tmp/case"
(cd "$src" && find . \( -path ./.git -o -path './build*' \) -prune -o -type f \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.inl' \) -print0 |
  xargs -0 cp --parents -t "$tmp/case")

failures=0
n=0
# run EXPECT NAME LABEL: runs the check on $tmp/case; EXPECT is "ok" or
# "refused" (exit 1) or "error" (exit 2); a refusal must name NAME.
run() {
  local expect=$1 name=$2 label=$3 out err rc=0
  n=$((n + 1))
  out="$tmp/out" err="$tmp/err"
  bash "$check" "${target:-$tmp/case}" "${qt:-$qtinc}" >"$out" 2>"$err" || rc=$?
  local bad=
  case "$expect" in
    ok) [ $rc -eq 0 ] && grep -qx 'layers: ok' "$out" || bad="expected ok, got $rc" ;;
    refused) [ $rc -eq 1 ] || bad="expected a refusal (1), got $rc" ;;
    error) [ $rc -eq 2 ] || bad="expected an error of the check (2), got $rc" ;;
  esac
  if [ "$expect" != ok ]; then
    if grep -q 'layers: ok' "$out"; then bad+=" said ok"; fi
    if ! grep -qF -- "$name" "$err"; then bad+=" without naming $name"; fi
  fi
  if [ -n "$bad" ]; then
    echo "FAIL $label: $bad" >&2
    sed 's/^/  | /' "$out" "$err" >&2
    failures=$((failures + 1))
  else
    echo "PASS $label"
  fi
}

# The tree as it is; each case below adds one file to it and takes it away.
run ok "" "the tree as it is"

# EXPECT|FILE|LINE PLANTED: the line is added to FILE (made if missing).
while IFS='|' read -r expect file line; do
  [ -n "$expect" ] || continue
  [ ! -e "$tmp/case/$file" ] || { echo "$file is in the tree already" >&2 && exit 1; }
  dir=$(dirname "$tmp/case/$file")
  mkdir -p "$dir"
  printf '%s\n' "$line" >"$tmp/case/$file"
  run "$expect" "$file" "$file: $line"
  rm "$tmp/case/$file"
  rmdir -p --ignore-fail-on-non-empty "$dir"
done <<'EOF'
refused|gui/planted.cpp|#include <app/openers.h>
refused|gui/planted.h|#include <gui/dbgrid.h>
refused|customers/planted.cpp|#include <receipts/issuereceipt.h>
refused|gui/planted.cpp|#include <dbgrid.h>
refused|gui/planted.cpp|#include "dbgrid.h"
refused|gui/planted.cpp|#include "../app/openers.h"
refused|gui/planted.cpp|#include GUI_HEADER
refused|gui/planted.cpp|#include "app/openers.h"
refused|gui/planted.cpp|  #  include "reports/reportengine.h"
refused|gui/planted.cpp|#include "customers/customerlist.h"
refused|gui/deep/planted.h|#include "tools/notebook.h"
refused|reports/planted.cpp|#include "customers/customerlist.h"
refused|reports/planted.cpp|#include "app/openers.h"
refused|reports/sub/planted.cpp|#include "dbtool/demodata.h"
refused|dbtool/planted.cpp|#include "gui/messages.h"
refused|dbtool/planted.cpp|#include <QWidget>
refused|receipts/planted.cpp|#include "customers/customerlist.h"
refused|chart/planted.cpp|#include "customers/customerlist.h"
refused|customers/planted.cpp|#include "recall/recalllist.h"
refused|customers/print/planted.cpp|#include "tools/notebook.h"
refused|tools/planted.cpp|#include "app/openers.h"
refused|plans/planted.cpp|#include "customers/customerlist.h"
refused|receipts/planted.cpp|#include "plans/pricelist.h"
refused|expenses/planted.cpp|#include "tests/common/testutil.h"
refused|data/work/planted.cpp|#include "gui/dbgrid.h"
refused|data/db/deep/planted.h|#include "gui/dbgrid.h"
refused|data/db/planted.cpp|#include <QtGui/QColor>
refused|data/practice/planted.cpp|#include <QColor>
refused|data/work/planted.h|#include <QPrinter>
refused|data/import/planted.cpp|#include <QWidget>
refused|data/db/planted.cpp|#include <QtWidgets>
refused|data/db/planted.cpp|#include "ui_about.h"
refused|data/db/planted.cpp|#include "data/practice/schema.h"
refused|data/db/planted.cpp|#include "data/work/customerid.h"
refused|data/practice/planted.cpp|#include "data/work/customerid.h"
refused|data/practice/planted.cpp|#include "data/import/jetimport.h"
refused|data/work/planted.cpp|#include "data/import/jetimport.h"
refused|data/import/planted.cpp|#include "data/work/customerid.h"
refused|data/work/planted.cpp|#include "data/helpers.h"
error|data/planted.h|// a file outside the rooms
error|data/misc/planted.h|// a room the drawing does not know
error|newfolder/planted.cpp|// a folder the drawing does not know
error|planted.cpp|// a source at the top
ok|data/db/planted.h|#include <QtCore/QDate>
ok|data/work/planted.cpp|#include "data/practice/schema.h"
ok|recall/sub/planted.cpp|#include "customers/customerlist.h"
ok|customers/planted.cpp|#include "receipts/issuereceipt.h"
ok|customers/planted.cpp|#include "plans/pricelist.h"
ok|plans/planted.cpp|#include "reports/estimate.h"
ok|app/planted.cpp|#include "tools/notebook.h"
ok|tests/planted.cpp|#include "app/openers.h"
EOF

# The check's own errors.
ln -s nowhere.h "$tmp/case/gui/gone.h"
run error gui/gone.h "a source it cannot read"
target="$tmp/none" run error "$tmp/none" "no source folder"
qt="$tmp" run error "$tmp" "no Qt headers"

echo "$n cases, $failures failed"
[ $failures -eq 0 ]

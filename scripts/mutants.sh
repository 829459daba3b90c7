#!/usr/bin/env bash
# Applies each mutant of scripts/mutants/list.txt to the source in turn,
# rebuilds only its targets in the build folder, runs only the tests that
# must kill it and puts the source back exactly. Prints killed/SURVIVED per
# mutant; exits 1 when one survives, no longer applies or does not build.
#
#   scripts/mutants.sh [build-folder] [name-regex]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=$(realpath "${1:-build}")
only=${2:-}
list=scripts/mutants/list.txt
jobs=$(nproc)

[ -f "$build/CMakeCache.txt" ] || { echo "mutants: $build is not a configured build folder" >&2; exit 2; }

work=$(mktemp -d)
saved=""   # the file under mutation, its original in $work/original
restore() {
  if [ -n "$saved" ]; then
    cp "$work/original" "$top/$saved"
    saved=""
  fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Mutants as records: name, file, from, to, build, tests, functions.
names=() files=() froms=() tos=() targets=() tests=() functions=()
flush() {
  if [ -n "${m_name:-}" ]; then
    names+=("$m_name") files+=("$m_file") froms+=("$m_from") tos+=("$m_to") targets+=("$m_build") tests+=("$m_tests")
    functions+=("$m_functions")
  fi
  m_name="" m_file="" m_from="" m_to="" m_build="" m_tests="" m_functions=""
}
flush
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    '#'* | '') continue ;;
  esac
  key=${line%%:*}
  value=${line#*:}
  value=${value#"${value%%[![:space:]]*}"}
  case "$key" in
    name) flush; m_name=$value ;;
    file) m_file=$value ;;
    from) m_from=$value ;;
    to) m_to=$value ;;
    build) m_build=$value ;;
    tests) m_tests=$value ;;
    functions) m_functions=$value ;;
    *) echo "mutants: $list: unknown line: $line" >&2; exit 2 ;;
  esac
done <"$list"
flush

# Writes file with its one occurrence of $MUTANT_FROM replaced by $MUTANT_TO;
# fails, writing nothing, unless the text occurs exactly once.
mutate() {
  awk 'BEGIN { from = ENVIRON["MUTANT_FROM"]; to = ENVIRON["MUTANT_TO"]; n = 0 }
       {
         line = $0; out = ""
         while ((i = index(line, from)) > 0) {
           out = out substr(line, 1, i - 1) to; line = substr(line, i + length(from)); n++
         }
         print out line
       }
       END { exit n == 1 ? 0 : 1 }' "$1" >"$work/mutated"
}

failed=0
touched=()
for i in "${!names[@]}"; do
  name=${names[$i]} file=${files[$i]}
  [ -n "$only" ] && ! [[ $name =~ $only ]] && continue
  start=$SECONDS
  if [ ! -f "$file" ] || ! MUTANT_FROM=${froms[$i]} MUTANT_TO=${tos[$i]} mutate "$file"; then
    echo "mutant $name: DOES NOT APPLY (the text is not in $file exactly once)"
    failed=1
    continue
  fi
  if ! (cd "$build" && ctest -N -R "${tests[$i]}" | grep -q '^Total Tests: [1-9]'); then
    echo "mutant $name: NO TESTS match ${tests[$i]}"
    failed=1
    continue
  fi
  cp "$file" "$work/original"
  saved=$file
  cp "$work/mutated" "$file"
  touched+=(${targets[$i]})
  # shellcheck disable=SC2086
  if ! cmake --build "$build" -j"$jobs" --target ${targets[$i]} >"$work/build.log" 2>&1; then
    restore
    echo "mutant $name: DOES NOT BUILD"
    tail -n 20 "$work/build.log"
    failed=1
    continue
  fi
  if (cd "$build" && MOLARIX_TEST_FUNCTIONS=${functions[$i]} ctest -R "${tests[$i]}" --no-tests=error --timeout 900 \
        --output-on-failure >"$work/test.log" 2>&1); then
    verdict=SURVIVED
    failed=1
  else
    verdict=killed
  fi
  restore
  echo "mutant $name: $verdict by ${tests[$i]} ${functions[$i]} ($((SECONDS - start)) s)"
  [ -z "${MUTANTS_SHOW_FAILURES:-}" ] || grep -E '^FAIL!' "$work/test.log" | sed 's/^/    /' || true
  [ "$verdict" = killed ] || grep -E 'tests passed|Passed|Failed' "$work/test.log" | sed 's/^/    /' || true
done

# The build folder gets the program back as it is.
if [ ${#touched[@]} -gt 0 ]; then
  # shellcheck disable=SC2046
  cmake --build "$build" -j"$jobs" --target $(printf '%s\n' "${touched[@]}" | sort -u) >"$work/build.log" 2>&1 \
    || { tail -n 20 "$work/build.log"; failed=1; }
fi
exit $failed

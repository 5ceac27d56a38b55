#!/usr/bin/env bash
# The bash completion offers the subcommands, each one's options, the commands
# after help, and folders after -o.
set -euo pipefail
source "$1"
failures=0

complete_line() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _zanthrel
  echo "${COMPREPLY[*]}"
}
expect() {
  if [[ "$1" != "$2" ]]; then
    echo "expected [$2], got [$1]" >&2
    failures=$((failures + 1))
  fi
}

expect "$(complete_line zanthrel v)" "verify version"
expect "$(complete_line zanthrel help co)" "compile convert"
expect "$(complete_line zanthrel -)" "--help --version -V"
expect "$(complete_line zanthrel mount --a)" "--all-copies"
expect "$(complete_line zanthrel mount --no)" "--nonempty"
expect "$(complete_line zanthrel d)" "decompile diff drives"
expect "$(complete_line zanthrel diff -)" "--json --help"
expect "$(complete_line zanthrel info --)" "--log-text --json --jobs --help"
expect "$(complete_line zanthrel verify --j)" "--json --jobs"
expect "$(complete_line zanthrel list -j "")" "$(nproc)"
expect "$(complete_line zanthrel list -j 2 --js)" "--json"
expect "$(complete_line zanthrel decompile --d)" "--disc-label --drive"
expect "$(complete_line zanthrel compile --f)" "--format --force"
expect "$(complete_line zanthrel conv)" "convert"
expect "$(complete_line zanthrel convert -)" "--format -f --force -q --quiet --help"
expect "$(complete_line zanthrel convert --format c)" "cue chd"
expect "$(complete_line zanthrel compile folder --format "")" "iso cue chd"
expect "$(complete_line zanthrel decompile --f)" "--force"
expect "$(complete_line zanthrel decompile --a)" "--allow-overlaps"
expect "$(complete_line zanthrel decompile --log-encoding u)" "utf-8"
expect "$(complete_line zanthrel list --n)" "--names"
expect "$(complete_line zanthrel mount --names c)" "cp1251"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/outdir"
touch "$folder/outfile"
expect "$(complete_line zanthrel decompile -o "$folder/out")" "$folder/outdir"
exit "$failures"

#!/usr/bin/env bash
# The bash completion: each tool's options, and the files it takes by
# suffix, in a folder holding a board file, a text, another file and a
# folder. Usage: completion_test.sh COMPLETIONSCRIPT
set -uo pipefail
source "$1"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch a.board b.txt c.svg
mkdir sub
failed=0
# expect WANTED WORD...: completing the last word gives WANTED, sorted.
expect() {
  local wanted=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _boards "$1" 2>/dev/null
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
  if [ "$got" != "$wanted " ]; then
    echo "completing '$*': got '$got', wanted '$wanted '"
    failed=1
  fi
}
expect "a.board sub" trackcheck ""
expect "a.board sub" trackcheck --json ""
expect "b.txt sub" trackbuild --strict ""
expect "a.board sub" trackbuild b.txt ""
expect "a.board sub" trackedit --size=20x10 ""
expect "--json" trackcheck --j
expect "--help --holes" trackdump --h
expect "--size=" trackedit --s
expect "--strict --sync" trackbuild --s
expect "--fills" trackdump --f
expect "--help --version" trackgen -
exit $failed

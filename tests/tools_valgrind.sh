#!/usr/bin/env bash
# Runs the tools for real under valgrind's memcheck, in a scratch folder. Any
# memory error, any leak, or an uninitialised byte written makes valgrind end
# with 99, which the expected exit status never is.
# Usage: tools_valgrind.sh CASE VALGRIND TRACKGEN TRACKCOPY
set -u
case=$1 valgrind=$2 trackgen=$3 trackcopy=$4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

expect() {  # expect STATUS TOOL: runs the tool under memcheck
  local wanted=$1
  shift
  "$valgrind" -q --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=all "$@"
  local status=$?
  if [ "$status" -ne "$wanted" ]; then
    echo "$case: $* ended with $status, not $wanted"
    exit 1
  fi
}

case $case in
  trackgen)
    expect 0 "$trackgen" ;;
  trackgen-failed-save)
    ln -s /dev/full 3player.board
    expect 1 "$trackgen" ;;
  trackcopy)
    "$trackgen" && cp 3player.board default.board
    expect 0 "$trackcopy"
    cmp 3player.board test.board || exit 1 ;;
  trackcopy-failed-load)
    expect 1 "$trackcopy"
    "$trackgen" && head -c 2000 3player.board > default.board
    expect 1 "$trackcopy" ;;
  trackcopy-failed-save)
    "$trackgen" && cp 3player.board default.board
    ln -s /dev/full test.board
    expect 1 "$trackcopy" ;;
  *)
    echo "unknown case $case"
    exit 1 ;;
esac

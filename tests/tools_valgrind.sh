#!/usr/bin/env bash
# Runs the tools for real under valgrind's memcheck, in a scratch folder. Any
# memory error, any leak, or an uninitialised byte written makes valgrind end
# with 99, which the expected exit status never is.
# Usage: tools_valgrind.sh CASE VALGRIND TRACKGEN TRACKCOPY TRACKDUMP TRACKBUILD
set -u
case=$1 valgrind=$2 trackgen=$3 trackcopy=$4 trackdump=$5 trackbuild=$6
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
  text-round-trip)
    "$trackgen"
    expect 0 "$trackdump" 3player.board > board.txt
    expect 0 "$trackbuild" board.txt built.board
    cmp 3player.board built.board || exit 1 ;;
  text-faults)
    printf 'header 1 2 3\nwidth 99999999999\n' > bad.txt
    expect 1 "$trackbuild" bad.txt built.board 2>/dev/null
    expect 1 "$trackdump" missing.board 2>/dev/null ;;
  *)
    echo "unknown case $case"
    exit 1 ;;
esac

#!/usr/bin/env bash
# trackedit on a real terminal, inside a tmux server of its own.
# Usage: trackedit_tmux.sh CASE TRACKEDIT TRACKGEN TRACKCHECK TRACKBUILD
# Exits 77 (skipped) when tmux is missing.
set -euo pipefail
case=$1 trackedit=$2 trackgen=$3 trackcheck=$4 trackbuild=$5
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed: trackedit's terminal test $case is skipped"
  exit 77
fi
work=$(mktemp -d)
socket="trackedit-test-$$"
tm() { tmux -L "$socket" -f /dev/null "$@"; }
trap 'tm kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; tm capture-pane -p -t edit 2>/dev/null || true; exit 1; }

# start WIDTH HEIGHT ARGS...: trackedit in a fresh session; the terminal's
# settings before and after, and the exit status, land in files.
start() {
  local width=$1 height=$2
  shift 2
  tm new-session -d -s edit -x "$width" -y "$height" \
    "stty -g >before; $trackedit $*; echo \$? >status; stty -g >after; sleep 30"
  waitfor PICTURE
}
waitfor() {  # waits until the screen shows the text
  for _ in $(seq 100); do
    tm capture-pane -p -t edit 2>/dev/null | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "the screen never showed '$1'"
}
keys() { tm send-keys -t edit "$@"; }
finished() {  # waits for trackedit to exit, then checks status and terminal
  for _ in $(seq 100); do
    [ -s after ] && break
    sleep 0.1
  done
  [ "$(cat status)" = 0 ] || fail "exit status $(cat status)"
  cmp -s before after || fail "terminal settings changed: $(cat before) / $(cat after)"
}
# The three-player board with its first picture cell set to a character.
expected() {
  cp 3player.board expected.board
  printf '%s' "$1" | dd of=expected.board bs=1 seek=36 conv=notrunc status=none
}

"$trackgen" >/dev/null
cp 3player.board board.board

case $case in
  type-save-undo)
    # A typed character saved is that byte changed; undone and saved again,
    # the file is the original's bytes.
    start 80 24 board.board
    keys X C-s
    waitfor "saved"
    expected X
    cmp board.board expected.board || fail "saved board differs"
    keys C-z C-s
    waitfor "saved"
    cmp board.board 3player.board || fail "undo did not give back the board"
    keys C-q
    finished
    ;;
  new-board)
    # Two tracks made with runs on a new board pass the checks.
    start 60 16 --size=12x4 new.board
    keys C-b End . Down Home C-b End . Down Home C-b End .
    keys Tab Tab n Up Up Home Space End r
    keys n Down Home Space End r Down Home f C-s
    waitfor "saved"
    "$trackcheck" new.board | grep -q "ok, 2 tracks of 12 holes" ||
      fail "$("$trackcheck" new.board)"
    keys C-q
    finished
    ;;
  hangup)
    # A closed terminal leaves the edits in FILE.recover and the file as it
    # was; the recovery builds to the edited board.
    start 80 24 board.board
    keys Q
    waitfor "modified"
    tm kill-session -t edit
    for _ in $(seq 100); do
      [ -s board.board.recover ] && break
      sleep 0.1
    done
    cmp board.board 3player.board || fail "the file was changed"
    "$trackbuild" board.board.recover rebuilt.board >/dev/null
    expected Q
    cmp rebuilt.board expected.board || fail "the recovery is not the edits"
    # The next session offers it, and a save makes it the board.
    start 80 24 board.board
    waitfor "Open it?"
    keys y C-s
    waitfor "saved"
    keys C-q
    finished
    cmp board.board expected.board || fail "the recovery was not saved"
    [ ! -e board.board.recover ] || fail "the saved recovery file was kept"
    ;;
  small-terminal)
    # A tiny terminal, and one too small for any cell, do not stop it.
    start 20 5 board.board
    keys End PageDown Right Down
    tm resize-window -t edit -x 6 -y 3
    waitfor "termin"
    tm resize-window -t edit -x 20 -y 5
    waitfor "PICTU"
    keys C-q
    finished
    ;;
  *)
    echo "unknown case $case"
    exit 2
    ;;
esac

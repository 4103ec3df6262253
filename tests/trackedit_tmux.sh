#!/usr/bin/env bash
# trackedit on a real terminal, inside a tmux server of its own.
# Usage: trackedit_tmux.sh CASE TRACKEDIT TRACKGEN TRACKCHECK TRACKBUILD
#        TRACKDUMP
# Exits 77 (skipped) when tmux is missing.
set -euo pipefail
case=$1 trackedit=$2 trackgen=$3 trackcheck=$4 trackbuild=$5 TRACKDUMP=$6
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

# start WIDTH HEIGHT ARGS...: trackedit in a fresh session, with $editenv
# in its environment; the terminal's settings before and after, and the exit
# status, land in files.
start() {
  local width=$1 height=$2
  shift 2
  tm kill-session -t edit 2>/dev/null || true
  rm -f before after status
  tm new-session -d -s edit -x "$width" -y "$height" \
    "stty -g >before; ${editenv:-} $trackedit $*; echo \$? >status; stty -g >after; sleep 30"
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
    waitfor "open the unsaved edits in board.board.recover"
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
  colors)
    # Pairs added, a rectangle painted and a region flood-filled are saved;
    # without colors, holes show their track's glyph and the finish "*".
    start 40 10 --size=6x3 new.board
    keys Tab a "1 2" Enter C-b Down Right Right Space
    keys a "3 4" Enter Down Right Right Right f C-s
    waitfor "saved"
    keys C-q
    finished
    "$TRACKDUMP" new.board >new.txt
    for line in "pair 1 2 " "pair 3 4 " "|111222|" "|222222|"; do
      grep -qF "$line" new.txt || fail "no '$line' in: $(cat new.txt)"
    done
    editenv=NO_COLOR=1 start 80 24 board.board
    waitfor "  0 00000|00000|"
    waitfor "|  *    45"
    keys C-q
    finished
    ;;
  refusals)
    # Tracks of different lengths are not saved, and nothing is written.
    start 100 10 --size=8x3 new.board
    keys Tab Tab n Space n Space Right Space C-s
    waitfor "not saved, tracks differ in length: track 0 has 1 hole, track 1 has 2 holes"
    [ ! -e new.board ] || fail "a board was written"
    keys C-q
    waitfor "unsaved edits"
    keys n
    finished
    # A file that cannot be loaded: status 1, the reason, the terminal as
    # it was; no terminal at all: status 2.
    printf 'junk' >bad.board
    rm -f before after status
    tm new-session -d -s bad -x 60 -y 10 \
      "stty -g >before; $trackedit bad.board 2>err; echo \$? >status; stty -g >after"
    for _ in $(seq 100); do [ -s after ] && break; sleep 0.1; done
    [ "$(cat status)" = 1 ] && grep -q "^trackedit: bad.board: " err ||
      fail "status $(cat status): $(cat err)"
    cmp -s before after || fail "terminal settings changed"
    status=0
    "$trackedit" board.board </dev/null >/dev/null 2>&1 || status=$?
    [ "$status" = 2 ] || fail "without a terminal: status $status"
    ;;
  *)
    echo "unknown case $case"
    exit 2
    ;;
esac

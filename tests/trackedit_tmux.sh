#!/usr/bin/env bash
# trackedit on a real terminal, inside a tmux server of its own.
# Usage: trackedit_tmux.sh CASE TRACKEDIT TRACKGEN TRACKCHECK TRACKBUILD
#        TRACKDUMP
# Exits 77 (skipped) when tmux is missing.
set -euo pipefail
case=$1 trackedit=$2 trackgen=$3 trackcheck=$4 trackbuild=$5 TRACKDUMP=$6
trackdump=$TRACKDUMP
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
# mouse EVENTS...: the terminal's mouse reports, each "BUTTON X Y" (X10
# encoding: 0 press, 32 drag, 3 release, 64/65 wheel), sent one at a time as
# a real pointer would send them.
mouse() {
  local event
  for event in "$@"; do
    set -- $event
    keys -l "$(printf '\033[M%b%b%b' "\\$(printf %o $((32 + $1)))" \
      "\\$(printf %o $((33 + $2)))" "\\$(printf %o $((33 + $3)))")"
    sleep 0.1
  done
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
    # Each wait is for the message of the key just sent, never one left
    # on the screen by the key before.
    keys C-z
    waitfor "undid: write 'X'"
    keys C-s
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
    # A tiny terminal, and one too small for any cell, do not stop it;
    # too small, keys change and save nothing, and F1 still helps.
    start 20 5 board.board
    keys End PageDown Right Down
    tm resize-window -t edit -x 12 -y 3
    waitfor "termin"
    keys W W W C-s
    waitfor "ignored"
    keys F1
    waitfor "lines 1-2"
    keys q
    tm resize-window -t edit -x 20 -y 5
    waitfor "PICTU"
    tm capture-pane -p -t edit | grep -q modified && fail "a key acted"
    cmp board.board 3player.board || fail "the file was changed"
    keys C-q
    finished
    ;;
  other-writer)
    # Another program's save survives ours unless we say overwrite: Esc
    # keeps it, r loads it (undo brings our edit back), o overwrites.
    start 80 24 board.board
    expected Y
    cp expected.board board.board
    keys X
    waitfor "changed on disk since it was opened"
    keys C-s
    waitfor "save elsewhere? o/r/s"
    keys Escape
    waitfor "not saved"
    cmp board.board expected.board || fail "the other save was lost"
    keys C-s r
    waitfor "reloaded board.board"
    tm capture-pane -p -t edit | grep -q "^  0 Y" || fail "not reloaded"
    keys C-z
    waitfor "undid: reload"
    keys C-s
    waitfor "saved"
    expected X
    cmp board.board expected.board || fail "the undone reload was not saved"
    cp 3player.board board.board
    keys C-s
    waitfor "o/r/s"
    keys o
    waitfor "saved"
    cmp board.board expected.board || fail "o did not overwrite"
    keys C-q
    finished
    ;;
  escapes)
    # Sequences the terminal's description does not name are swallowed
    # whole and named; a pointer report in either form is read.
    editenv=TERM=xterm-256color start 80 24 board.board
    for sequence in '\033[4~' '\033[99;9Z' '\033OZ'; do
      keys -l "$(printf "$sequence")"
    done
    waitfor "unknown key ESC O Z"
    tm capture-pane -p -t edit | grep -q modified && fail "a sequence typed"
    mouse "0 10 5" "3 10 5"  # the form this terminal does not ask for
    waitfor "(3, 6)"
    keys C-q
    finished
    start 80 24 board.board
    keys -l "$(printf '\033[<0;20;8M\033[<0;20;8m')"
    waitfor "(5, 15)"
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
  mouse)
    # A click moves the cursor in every mode and paints nothing; a drag
    # paints each cell it passes, one step of undo; the wheel scrolls.
    editenv=NO_COLOR=1 start 80 24 --size=20x60 new.board
    keys Tab a "1 2" Enter C-s
    mouse "0 10 5" "3 10 5"
    waitfor "COLOR  (3, 6)"
    tm capture-pane -p -t edit | grep -q modified && fail "a click painted"
    mouse "0 4 2" "32 6 2" "32 8 2" "3 8 2"
    waitfor "modified"
    tm capture-pane -p -t edit | grep -q "^  0 111110" ||
      fail "the drag did not paint cells 0 to 4"
    keys C-z
    waitfor "undid: drag painting 1"
    mouse "65 5 5" "65 5 5"
    waitfor "(6, 0)"
    tm capture-pane -p -t edit | sed -n 3p | grep -q "^  6 " ||
      fail "the wheel did not scroll"
    mouse "64 5 5"
    waitfor "(3, 0)"
    tm capture-pane -p -t edit | sed -n 3p | grep -q "^  3 " ||
      fail "the wheel did not scroll up"
    keys C-q
    finished
    ;;
  help-80x24)
    # The help scrolls and says how; the status line keeps what matters;
    # what does nothing says so.
    editenv=LC_ALL=C.UTF-8 start 80 24 --size=200x40 new.board
    keys x C-b F1
    waitfor "Esc or q closes"
    tm capture-pane -p -t edit | tail -1 | grep -q "^lines 1-23 of " ||
      fail "no position on the help's last line"
    keys PageDown End
    waitfor "Backspace edit the answer; Esc or Ctrl-C cancels it."
    keys q
    waitfor "PICTURE"
    for part in "(0, 1)" "mark (0, 1)" "problem" "modified" "track"; do
      tm capture-pane -p -t edit | grep -F "PICTURE" | grep -qF "$part" ||
        fail "the status line lost '$part'"
    done
    keys C-w
    waitfor "Ctrl-W does nothing in picture mode; F1 lists the keys"
    keys C-g "1 1"
    waitfor "go to (ROW COLUMN, tN hM, f): 1 1"
    keys C-c
    waitfor "type to draw"
    tm capture-pane -p -t edit | grep -qF "(0, 1)" || fail "Ctrl-C went"
    keys -l "é"
    waitfor "'é' is not one byte"
    keys C-q n
    finished
    ;;
  dumb)
    # A terminal that cannot move its cursor is refused, untouched.
    rm -f before after status
    tm new-session -d -s dumb -x 60 -y 10 \
      "stty -g >before; TERM=dumb $trackedit board.board 2>err; echo \$? >status; stty -g >after"
    for _ in $(seq 100); do [ -s after ] && break; sleep 0.1; done
    [ "$(cat status)" = 1 ] && grep -q "cannot move its cursor" err ||
      fail "status $(cat status): $(cat err)"
    cmp -s before after || fail "terminal settings changed"
    ;;
  recovery)
    # A later hang-up never replaces an earlier recovery; a board whose
    # folder refuses the file has its recovery in the state folder, found
    # by the next start; stderr names where the edits went.
    export XDG_STATE_HOME=$work/state
    for letter in A B; do
      start 80 24 board.board
      if [ $letter = B ]; then
        waitfor "open the unsaved edits"
        keys n
      fi
      keys $letter
      waitfor "modified"
      tm kill-session -t edit
      recovery=board.board.recover
      [ $letter = A ] || recovery=board.board.recover.1
      for _ in $(seq 100); do [ -s $recovery ] && break; sleep 0.1; done
    done
    [ -s board.board.recover ] && [ -s board.board.recover.1 ] ||
      fail "$(ls)"
    start 80 24 board.board
    waitfor "open the unsaved edits in board.board.recover.1"
    keys n
    waitfor "open the unsaved edits in board.board.recover "
    keys n C-q
    finished
    start 80 24 missing/new.board
    waitfor "[new 55x12]"
    waitfor "[read-only]"
    keys Z
    waitfor "modified"
    tm send-keys -t edit C-s
    waitfor "Ctrl-O saves under another name"
    tm kill-session -t edit
    for _ in $(seq 100); do
      ls state/trackedit/*new.board.recover >/dev/null 2>&1 && break
      sleep 0.1
    done
    ls state/trackedit/*new.board.recover >/dev/null || fail "no recovery"
    start 80 24 missing/new.board
    waitfor "open the unsaved edits in"
    waitfor "$work/state/trackedit/"
    keys y C-o C-u saved.board Enter
    waitfor "saved saved.board"
    keys C-q
    finished
    "$trackdump" saved.board | grep -q "|Z" || fail "the recovery lost the Z"
    ;;
  session)
    # A small board drawn with jumps, a pasted label and a flipped copy of
    # it, two tracks (one a mirrored copy) and a finish, passed by the checks.
    start 80 24 --size=20x6 session.board
    keys A B ">" Home C-b Right Right C-c C-g "0 17" Enter C-v
    keys C-f C-g "5 0" Enter C-v C-g "1 0" Enter "-" C-Right
    keys C-g "2 0" Enter C-b C-g "3 19" Enter . C-g "4 10" Enter F
    keys Tab Tab n C-g "2 0" Enter Space C-Right r v C-g "4 10" Enter f C-s
    waitfor "saved session.board"
    "$trackcheck" session.board | grep -q "ok, 2 tracks of 20 holes" ||
      fail "$("$trackcheck" session.board)"
    "$TRACKDUMP" session.board >session.txt
    for line in "|AB>              AB>|" "|-                   |" \
      "|....................|" "|<BA                 |"; do
      grep -qF -- "$line" session.txt || fail "no '$line' in $(cat session.txt)"
    done
    keys C-q
    finished
    ;;
  four-player)
    # The four-player board from nothing: a ruler of groups of five, two
    # tracks of 61 holes, labels, the halves mirrored by a flipped paste
    # and track copies, a centre finish. Counts the keys it takes.
    count=0
    k() {  # sends keys, counting a tmux key name as one, a text by its length
      local key
      for key in "$@"; do
        case $key in
          C-* | Tab | Enter | Home | End | Up | Down | Left | Right | Space)
            count=$((count + 1)) ;;
          *) count=$((count + ${#key})) ;;
        esac
      done
      keys "$@"
    }
    start 80 24 --size=61x9 four.board
    k Down C-b Down End .                       # the track rows, all dots
    k Up Up Home "    |" Left C-b Home C-c      # a group of five, copied
    for _ in $(seq 11); do k C-Right C-Right C-v; done
    k C-g "3 0" Enter "START" C-g "3 57" Enter "GOAL"
    k Home C-b Up Up Up End C-c C-t C-g "5 0" Enter C-v   # the mirror half
    k C-g "4 30" Enter "*"
    k Tab Tab n C-g "1 0" Enter Space End r n Down Home Space End r
    k v "[" "[" v C-g "4 30" Enter f C-s
    waitfor "saved four.board"
    "$trackcheck" four.board | grep -q "ok, 4 tracks of 61 holes" ||
      fail "$("$trackcheck" four.board)"
    "$TRACKDUMP" four.board | sed -n '/^picture/,/^$/p'
    echo "four-player board: $count keys"
    [ "$count" -lt 451 ] || fail "$count keys"
    keys C-q
    finished
    ;;
  *)
    echo "unknown case $case"
    exit 2
    ;;
esac

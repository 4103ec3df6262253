# Bash completion for the board tools: each tool's options, and the files
# it takes, board files (*.board) or texts (*.txt) where it expects them.
# Installed once under each tool's name, so that bash-completion loads it
# for whichever tool is completed first.

_boards_files() {  # _boards_files SUFFIX: such files and every folder
  local IFS=$'\n'
  COMPREPLY+=($(compgen -f -X "!*.$1" -- "$cur") $(compgen -d -- "$cur"))
  compopt -o filenames 2>/dev/null
}

_boards() {
  local cur=${COMP_WORDS[COMP_CWORD]} tool=${1##*/} options operand=0 word
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    [[ $word == -* && $word != - ]] || ((operand++))
  done
  case $tool in
    trackgen | trackcopy) options="--help --version" ;;  # and no operand
    trackcheck) options="--show --holes --color --color=auto --color=always
                         --color=never --max-step= --max-size= --json --help
                         --version" ;;
    trackdump) options="--fills --svg --holes --max-size= --help --version" ;;
    trackbuild) options="--strict --sync --json --help --version" ;;
    trackedit) options="--size= --max-size= --help --version" ;;
  esac
  COMPREPLY=()
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi
  case $tool in
    trackcheck | trackdump | trackedit) _boards_files board ;;
    trackbuild)
      if ((operand == 0)); then _boards_files txt; else _boards_files board; fi
      ;;
  esac
}

complete -F _boards trackgen trackcopy trackcheck trackdump trackbuild trackedit

# bash completion for ccdcrc: its commands, the options of each command, and
# files (directories after -o).

_ccdcrc() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="all ied export ccd diff check verify"
  local command="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case " $commands " in
      *" ${COMP_WORDS[i]} "*) command=${COMP_WORDS[i]}; break ;;
    esac
  done
  COMPREPLY=()
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "-h --help --version" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    fi
    return 0
  fi

  case $prev in
    -f | --format)
      local formats="text json csv"
      [[ $command == diff ]] && formats+=" html markdown"
      mapfile -t COMPREPLY < <(compgen -W "$formats" -- "$cur")
      return 0 ;;
    -j | --jobs | -n | --name | --member) return 0 ;;
    -o | --output)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return 0 ;;
  esac

  local options="-h --help"
  case $command in
    all) options+=" -f --format -q --quiet -j --jobs" ;;
    ied) options+=" -n --name -f --format" ;;
    export) options+=" --all -o --output -q --quiet -j --jobs" ;;
    ccd) options+=" --measured" ;;
    diff) options+=" --explain -f --format -o --output -a --all --name-only --stat -q --quiet -j --jobs" ;;
    check) options+=" -f --format -q --quiet --status --ignore-missing --skip-malformed --strict -w --warn -j --jobs" ;;
    verify) options+=" --scd -f --format -q --quiet" ;;
  esac
  options+=" --member"
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return 0
  fi
  # SCD files, lists of approved CRCs, CCD files, and IED names, which are
  # typed; --scd takes a file too.
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  return 0
}
complete -F _ccdcrc ccdcrc

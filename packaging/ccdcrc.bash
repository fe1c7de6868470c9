# bash completion for ccdcrc: its commands, the options of each command, files
# (directories after export's -o), and after ied, ccd and export the names of
# the IEDs of the SCD already on the line, as `ccdcrc all SCD` lists them.

# The IED names of an SCD, from the CSV of `ccdcrc all`.
_ccdcrc_ied_names() {
  local program=$1 scd=$2
  [[ -r $scd && -f $scd ]] || return 0
  "$program" all "$scd" --format csv 2>/dev/null | awk -F, '$1 == "ied" && $2 !~ /^"/ { print $2 }'
}

_ccdcrc() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="all ied export ccd diff check verify history bindings"
  local command="" i start=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    case " $commands " in
      *" ${COMP_WORDS[i]} "*) command=${COMP_WORDS[i]} start=$i; break ;;
    esac
  done
  COMPREPLY=()
  if [[ $prev == --color ]]; then
    mapfile -t COMPREPLY < <(compgen -W "auto always never" -- "$cur")
    return 0
  fi
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "-h --help --version --color" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    fi
    return 0
  fi

  # The words after the command that are no option or option value: the SCD first.
  local arguments=() by_name=""
  for ((i = start + 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -n | --name) by_name=1; ((i++)) ;;
      -f | --format | -j | --jobs | --member | -o | --output | --scd | --approved | --color | --since | --until) ((i++)) ;;
      -*) ;;
      *) arguments+=("${COMP_WORDS[i]}") ;;
    esac
  done
  local program=${COMP_WORDS[0]}

  case $prev in
    -f | --format)
      local formats="text json csv"
      [[ $command == diff || $command == history ]] && formats+=" html markdown"
      mapfile -t COMPREPLY < <(compgen -W "$formats" -- "$cur")
      return 0 ;;
    -j | --jobs | --member | --since | --until) return 0 ;;
    -n | --name)
      [[ ${#arguments[@]} -gt 0 ]] &&
        mapfile -t COMPREPLY < <(compgen -W "$(_ccdcrc_ied_names "$program" "${arguments[0]}")" -- "$cur")
      return 0 ;;
    -o | --output)
      compopt -o filenames 2>/dev/null
      if [[ $command == export ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      return 0 ;;
    --approved)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0 ;;
  esac

  local options="-h --help --color"
  case $command in
    all) options+=" -f --format --excel -q --quiet -j --jobs" ;;
    ied) options+=" -n --name -f --format --excel" ;;
    export) options+=" --all -o --output -q --quiet -j --jobs" ;;
    ccd) options+=" --measured" ;;
    diff) options+=" --explain -f --format --excel -o --output -a --all --name-only --stat --uncovered --approved --no-signoff -q --quiet -j --jobs" ;;
    check) options+=" -f --format --excel -q --quiet --status --ignore-missing --skip-malformed --strict -w --warn -j --jobs" ;;
    verify) options+=" --scd -f --format --excel -q --quiet" ;;
    bindings) options+=" -f --format --excel -q --quiet -j --jobs" ;;
    history) options+=" --git --since --until --by-header --changed-only -f --format --excel -j --jobs --no-cache -q --quiet -v --verbose" ;;
  esac
  options+=" --member"
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return 0
  fi
  # IED names after the SCD of ied (unless --name takes them), ccd (one) and export.
  if [[ ${#arguments[@]} -gt 0 && ( ($command == ied && -z $by_name) || $command == export ||
        ($command == ccd && ${#arguments[@]} -eq 1) ) ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_ccdcrc_ied_names "$program" "${arguments[0]}")" -- "$cur")
    return 0
  fi
  # SCD files, lists of approved CRCs, CCD files; --scd takes a file too.
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  return 0
}
complete -F _ccdcrc ccdcrc

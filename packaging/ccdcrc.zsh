#compdef ccdcrc
# zsh completion for ccdcrc: its commands, the options of each command, files,
# and after `ied`, `ccd` and `export` the IED names of the SCD on the line.

_ccdcrc_ied_names() {
  local scd=${words[3]}
  [[ -r $scd ]] || return 1
  local -a names
  names=(${${(M)${(f)"$(${words[1]} all $scd --format csv 2>/dev/null)"}:#ied,*}})
  names=(${${names#ied,}%%,*})
  compadd -a names
}

_ccdcrc() {
  local -a commands common
  commands=(all ied export ccd diff check verify history bindings)
  common=('(-h --help)'{-h,--help}'[show the help]' '--member[the SCD of an archive]:member:'
          '--color[colour the statuses]:when:(auto always never)')
  if (( CURRENT == 2 )); then
    _alternatives 'commands:command:(all ied export ccd diff check verify history bindings)' \
      'options:option:(-h --help --version --color)'
    return
  fi
  local command=${words[2]}
  local format='(-f --format)'{-f,--format}'[output format]:format:(text json csv)'
  local excel='--excel[CSV as Excel opens it]'
  local quiet='(-q --quiet)'{-q,--quiet}'[print less]'
  local jobs='(-j --jobs)'{-j,--jobs}'[IEDs built in parallel]:number:'
  case $command in
    (all) _arguments $common $format $excel $quiet $jobs '*:SCD:_files' ;;
    (ied) _arguments $common $format $excel '*'{-n,--name}'[an IED name]:IED:_ccdcrc_ied_names' \
            '2:SCD:_files' '*:IED:_ccdcrc_ied_names' ;;
    (export) _arguments $common $quiet $jobs '--all[every IED with a CRC]' \
               '(-o --output)'{-o,--output}'[the export directory]:directory:_files -/' \
               '2:SCD:_files' '*:IED:_ccdcrc_ied_names' ;;
    (ccd) _arguments $common '--measured[the measured CCD]' '2:SCD:_files' '3:IED:_ccdcrc_ied_names' ;;
    (diff) _arguments $common $excel $quiet $jobs '--explain[why each IED changed]' \
             '(-f --format)'{-f,--format}'[output format]:format:(text json csv html markdown)' \
             '(-o --output)'{-o,--output}'[the report file]:file:_files' '(-a --all)'{-a,--all}'[unchanged IEDs too]' \
             '--name-only[names only]' '--stat[control blocks that differ]' \
             '--uncovered[IEDs changed outside their CRCs]' '--approved[a list of approved CRCs]:list:_files' \
             '--no-signoff[no sign-off block in the report]' '*:SCD:_files' ;;
    (check) _arguments $common $format $excel $quiet $jobs '--status[print nothing]' \
              '--ignore-missing[only the IEDs of the list]' '--skip-malformed[pass over malformed lines]' \
              '--strict[malformed lines fail]' \
              '(-w --warn)'{-w,--warn}'[name malformed lines]' '*:file:_files' ;;
    (verify) _arguments $common $format $excel $quiet '--scd[the SCD to compare with]:SCD:_files' '*:CCD file:_files' ;;
    (bindings) _arguments $common $format $excel $quiet $jobs '1:SCD:_files' ;;
    (history) _arguments $common $excel $quiet '--git[the commits that change a file]' '--since[commits from]:date:' \
                '--until[commits until]:date:' '--by-header[by the Header]' '--changed-only[revisions that change]' \
                '(-f --format)'{-f,--format}'[output format]:format:(text json csv html markdown)' \
                '(-j --jobs)'{-j,--jobs}'[revisions read at once]:number:' '--no-cache[keep no listing]' \
                '(-v --verbose)'{-v,--verbose}'[how many were read]' '*:revision:_files' ;;
  esac
}

_ccdcrc "$@"

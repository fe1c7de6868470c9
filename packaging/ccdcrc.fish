# fish completion for ccdcrc: its commands, the options of each command,
# files, and after `ied`, `ccd` and `export` the IED names of the SCD on the line.

function __ccdcrc_ied_names
    set -l words (commandline -opc)
    set -l scd $words[3]
    test -r "$scd"; or return
    $words[1] all $scd --format csv 2>/dev/null | string match -r '^ied,[^,]*' | string replace 'ied,' ''
end

function __ccdcrc_after_scd
    set -l words (commandline -opc)
    test (count $words) -ge 3
end

set -l commands all ied export ccd diff check verify history bindings
complete -c ccdcrc -f -n "not __fish_seen_subcommand_from $commands" -a "$commands"
complete -c ccdcrc -n "not __fish_seen_subcommand_from $commands" -l version -d 'print the version'
complete -c ccdcrc -s h -l help -d 'show the help'
complete -c ccdcrc -l color -x -a 'auto always never' -d 'colour the statuses'
complete -c ccdcrc -n "__fish_seen_subcommand_from $commands" -l member -x -d 'the SCD of an archive'
complete -c ccdcrc -n '__fish_seen_subcommand_from all ied check verify bindings' -s f -l format -x -a 'text json csv' -d 'output format'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff history' -s f -l format -x -a 'text json csv html markdown' -d 'output format'
complete -c ccdcrc -n '__fish_seen_subcommand_from all ied diff check verify history bindings' -l excel -d 'CSV as Excel opens it'
complete -c ccdcrc -n '__fish_seen_subcommand_from all export diff check verify history bindings' -s q -l quiet -d 'print less'
complete -c ccdcrc -n '__fish_seen_subcommand_from all export diff check bindings' -s j -l jobs -x -d 'IEDs built in parallel'
complete -c ccdcrc -n '__fish_seen_subcommand_from ied' -s n -l name -x -a '(__ccdcrc_ied_names)' -d 'an IED name'
complete -c ccdcrc -n '__fish_seen_subcommand_from export' -l all -d 'every IED with a CRC'
complete -c ccdcrc -n '__fish_seen_subcommand_from export' -s o -l output -x -a '(__fish_complete_directories)' -d 'the export directory'
complete -c ccdcrc -f -n '__fish_seen_subcommand_from ied ccd export; and __ccdcrc_after_scd' -a '(__ccdcrc_ied_names)'
complete -c ccdcrc -n '__fish_seen_subcommand_from ccd' -l measured -d 'the measured CCD'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l explain -d 'why each IED changed'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -s o -l output -r -d 'the report file'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -s a -l all -d 'unchanged IEDs too'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l name-only -d 'names only'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l stat -d 'control blocks that differ'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l uncovered -d 'IEDs changed outside their CRCs'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l approved -r -d 'a list of approved CRCs'
complete -c ccdcrc -n '__fish_seen_subcommand_from diff' -l no-signoff -d 'no sign-off block in the report'
complete -c ccdcrc -n '__fish_seen_subcommand_from check' -l status -d 'print nothing'
complete -c ccdcrc -n '__fish_seen_subcommand_from check' -l ignore-missing -d 'only the IEDs of the list'
complete -c ccdcrc -n '__fish_seen_subcommand_from check' -l skip-malformed -d 'pass over malformed lines'
complete -c ccdcrc -n '__fish_seen_subcommand_from check' -l strict -d 'malformed lines fail'
complete -c ccdcrc -n '__fish_seen_subcommand_from check' -s w -l warn -d 'name malformed lines'
complete -c ccdcrc -n '__fish_seen_subcommand_from verify' -l scd -r -d 'the SCD to compare with'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l git -d 'the commits that change a file'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l since -x -d 'commits from DATE'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l until -x -d 'commits until DATE'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l by-header -d 'order by the Header'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l changed-only -d 'revisions that change'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -s j -l jobs -x -d 'revisions read at once'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -l no-cache -d 'keep no listing'
complete -c ccdcrc -n '__fish_seen_subcommand_from history' -s v -l verbose -d 'how many were read'

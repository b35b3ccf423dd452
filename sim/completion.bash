# bash completion of hmisim: the options as its --help lists them, and for each option
# the files or folders it takes; scenario files (*.sim) otherwise.
_hmisim()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --tour-dir | --panel)
            _filedir -d
            return
            ;;
        --library)
            _filedir so
            return
            ;;
        --params)
            COMPREPLY=($(compgen -W 'none' -- "$cur"))
            _filedir
            return
            ;;
        -o | --output)
            _filedir svg
            return
            ;;
        --csv)
            _filedir csv
            return
            ;;
        --watch | --start | --seed | --plot | --serve | -h | --help | --version)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        return
    fi
    _filedir sim
    # The subcommands come first on the line.
    if ((cword == 1)); then
        COMPREPLY+=($(compgen -W 'test diff' -- "$cur"))
    fi
} &&
    complete -F _hmisim hmisim

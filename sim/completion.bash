# bash completion of hmisim: the options as its --help lists them (after the subcommand
# test or diff, the subcommand's own and those that set up a panel), and for each option the files or folders it takes;
# scenario files (*.sim) and folders otherwise.
_hmisim()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --tour-dir | --panel | --against)
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
        --junit | --merge)
            _filedir xml
            return
            ;;
        --coverage)
            _filedir json
            return
            ;;
        --watch | --start | --seed | --plot | --serve | -j | --jobs | --shard | -h | --help | --version)
            return
            ;;
    esac
    $split && return

    local subcommand= i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            test | diff)
                subcommand=${words[i]}
                break
                ;;
        esac
    done
    if [[ $cur == -* ]]; then
        if [[ $subcommand ]]; then
            # Its own options, and those that set up a panel.
            COMPREPLY=($(compgen -W '$(_parse_help "$1" "$subcommand --help")
                --library --panel --params --start --seed' -- "$cur" | sort -u))
        else
            COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        fi
        return
    fi
    _filedir sim
    # The subcommands come first on the line; they take folders of scenarios too.
    [[ $subcommand ]] && _filedir -d
    if ((cword == 1)); then
        COMPREPLY+=($(compgen -W 'test diff' -- "$cur"))
    fi
} &&
    complete -F _hmisim hmisim

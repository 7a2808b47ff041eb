# bash completion for morvane-cli: its commands, their options, the values of
# --format, and files or folders where a command takes them.

_morvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W 'info list export replace import --help --version' -- "$cur"))
        return
    fi
    case $prev in
        --format)
            COMPREPLY=($(compgen -W 'png bmp' -- "$cur"))
            return
            ;;
        -o | --output)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        local options=
        case $command in
            info | list) options='--json' ;;
            export) options='--format --force' ;;
            replace | import) options='-o --output --dither' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # Which positional argument this is: options and their values do not count.
    local i position=0
    for ((i = 2; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --format | -o | --output) ((i++)) ;;
            -*) ;;
            *) ((position++)) ;;
        esac
    done
    compopt -o filenames 2>/dev/null
    case $command in
        info | list)
            ((position == 0)) && COMPREPLY=($(compgen -f -- "$cur"))
            ;;
        export | import)
            if ((position == 0)); then
                COMPREPLY=($(compgen -f -- "$cur"))
            elif ((position == 1)); then
                COMPREPLY=($(compgen -d -- "$cur"))
            fi
            ;;
        replace)
            # STATE, then RECORD and PICTURE in turn; a record is a number.
            if ((position == 0 || position % 2 == 0)); then
                COMPREPLY=($(compgen -f -- "$cur"))
            fi
            ;;
    esac
}
complete -F _morvane_cli morvane-cli

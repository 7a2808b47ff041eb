# bash completion for morvane-cli: its commands, their options, the values of
# --format, and files or folders where a command takes them.

# Sets COMPREPLY to compgen's answers for the word being completed (the
# caller's $cur), one a line, so that a name with spaces stays one word;
# -o filenames then has readline quote it. compgen matches the name itself,
# so the word loses what the shell would remove: an opening quote, and the
# backslashes before spaces and brackets (read without -r drops them).
_morvane_cli_reply() {
    local word
    # shellcheck disable=SC2162
    IFS= read word <<<"${cur#[\"\']}"
    mapfile -t COMPREPLY < <(compgen "$@" -- "$word")
}

_morvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        _morvane_cli_reply -W 'info list export replace import --help --version'
        return
    fi
    case $prev in
        --format)
            _morvane_cli_reply -W 'png bmp'
            return
            ;;
        -o | --output)
            compopt -o filenames 2>/dev/null
            _morvane_cli_reply -f
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        local options=
        case $command in
            info | list) options='--json' ;;
            export) options='--format --force' ;;
            replace | import) options='-o --output --dither --force' ;;
        esac
        _morvane_cli_reply -W "$options"
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
            ((position == 0)) && _morvane_cli_reply -f
            ;;
        export | import)
            if ((position == 0)); then
                _morvane_cli_reply -f
            elif ((position == 1)); then
                _morvane_cli_reply -d
            fi
            ;;
        replace)
            # STATE, then RECORD and PICTURE in turn; a record is a number.
            if ((position == 0 || position % 2 == 0)); then
                _morvane_cli_reply -f
            fi
            ;;
    esac
}
complete -F _morvane_cli morvane-cli

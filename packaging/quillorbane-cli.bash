# Bash completion for quillorbane-cli. The options come from the program's own --help, so they
# follow it; files are offered where a file or a start path is expected.
_quillorbane_cli() {
    local cur prev words cword
    _init_completion -s || return

    case $prev in
        --report | --output)
            _filedir
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'text json' -- "$cur"))
            return
            ;;
        --base | --timeout | --max-depth | --exclude | --connections | --connections-per-host | \
            --skip | --user-agent | --header)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    # The start URL may be the path of a file or directory on disk.
    _filedir
}
complete -F _quillorbane_cli quillorbane-cli

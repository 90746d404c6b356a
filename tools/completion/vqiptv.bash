# bash completion for vqiptv: commands, options, and the values of --player
# and --format; files for --file, --write-live and inspect.
_vqiptv() {
    local cur prev words cword split
    _init_completion -s || return

    local commands="groups channels search resolve play validate inspect stats check help version"
    local options="--url --file --settings --json --player --charset --format --jobs --timeout --write-live --help --version"

    case $prev in
        --file | --write-live) _filedir; return ;;
        --player) COMPREPLY=($(compgen -W "mpv ffplay vlc" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "auto m3u m3u8-hls streaming-list cue" -- "$cur")); return ;;
        --url | --settings | --charset | --jobs | --timeout) return ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    # The first word that is neither an option nor an option's value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --url | --file | --settings | --player | --charset | --format | --jobs | --timeout | --write-live) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    case $command in
        "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
        inspect) _filedir ;;
    esac
} &&
    complete -F _vqiptv vqiptv

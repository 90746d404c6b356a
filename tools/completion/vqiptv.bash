# bash completion for vqiptv: commands, options, and the values of --player
# and --format; files for --file and for inspect.
_vqiptv() {
    local cur prev words cword split
    _init_completion -s || return

    local commands="groups channels search resolve play validate inspect stats help version"
    local options="--url --file --settings --json --player --charset --format --help --version"

    case $prev in
        --file) _filedir; return ;;
        --player) COMPREPLY=($(compgen -W "mpv ffplay vlc" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "auto m3u m3u8-hls streaming-list cue" -- "$cur")); return ;;
        --url | --settings | --charset) return ;;
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
            --url | --file | --settings | --player | --charset | --format) ((i++)) ;;
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

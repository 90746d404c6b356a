# bash completion for vqiptv: commands, options, and the values of --player
# and --format; files for --file, --write-live and inspect. The lists below
# are the tool's own (tests/tool/surface_test.cpp holds them to its option
# table).
_vqiptv() {
    local cur prev words cword split
    _init_completion -s || return

    local commands="groups channels search resolve play validate inspect stats check help version"
    local options="--url --file --settings --user-agent --header --json --player --player-arg --charset --format
        --jobs --timeout --write-live --help -h --version"
    # The options whose value is the next word.
    local valued="--url --file --settings --user-agent --header --player --player-arg --charset --format --jobs
        --timeout --write-live"
    local players="mpv ffplay vlc"
    local formats="auto m3u m3u8-hls streaming-list cue"

    case $prev in
        --file | --write-live) _filedir; return ;;
        --player) COMPREPLY=($(compgen -W "$players" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "$formats" -- "$cur")); return ;;
    esac
    [[ " $valued " == *[[:space:]]"$prev"[[:space:]]* ]] && return
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    # The first word that is neither an option nor an option's value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        if [[ " $valued " == *[[:space:]]"${words[i]}"[[:space:]]* ]]; then
            ((i++))
            continue
        fi
        case ${words[i]} in
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

#!/usr/bin/env bash
# The first minute with the library: installs what is missing, builds the
# Release build in build/release (reusing it when present) and browses a
# playlist with the vqiptv tool the way a media player would: the groups, the
# channels of one group, then one channel's stream URL with the headers the
# player must send.
#
#   scripts/run.sh        the bundled sample playlist, offline
#   scripts/run.sh URL    the playlist at URL: its first group and first channel
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
tool="build/release/tools/vqiptv"

"$root/scripts/install-deps.sh"
# The same build folder as scripts/test.sh's release build, so the two share
# it; configuring again is quick once it exists, and keeps the tests when the
# test command switched them on. A new one builds what users install.
echo "configuring build/release" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
echo "building vqiptv" >&2
cmake --build "$build" --target vqiptv -j"$(nproc)" >/dev/null
cd "$root"

if [[ $# -gt 0 ]]; then
  source=(--url "$1")
else
  source=(--file samples/sample.m3u)
fi

# show TITLE ARGS...: a heading naming the step and the command, then its output.
show() {
  local title=$1; shift
  printf '\n== %s\n$ %s' "$title" "$tool"
  printf ' %q' "$@"
  echo
  "$tool" "$@"
}

# pick KEY [NAME]: KEY of the first listing entry whose name starts with NAME.
pick() {
  python3 -c '
import json, sys
entries = json.load(sys.stdin)
named = [e for e in entries if e["name"].startswith(sys.argv[2])] or entries
print(named[0][sys.argv[1]] if named else "")' "$1" "${2:-}"
}

# The sample's Music group has channels whose stream asks for a referrer.
group_name=""; channel_name=""
[[ $# -eq 0 ]] && group_name=Music && channel_name=MoozDance

show "The playlist's groups (or its channels when it has none)" groups "${source[@]}"
root_doc=$("$tool" groups "${source[@]}" --json)
channels_doc=$root_doc
if [[ $(pick folder <<<"$root_doc") == True ]]; then
  group=$(pick path "$group_name" <<<"$root_doc")
  group=${group#/}
  show "The channels of the group \"$group\"" channels "$group" "${source[@]}"
  channels_doc=$("$tool" channels "$group" "${source[@]}" --json)
fi
id=$(pick id "$channel_name" <<<"$channels_doc")
show "The stream of channel $id: the URL and the headers to send" resolve "$id" "${source[@]}"
show "The same as a command line for mpv" resolve "$id" "${source[@]}" --player mpv

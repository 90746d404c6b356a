#include "options.h"

namespace vqt {

const char *usage_text() {
    return R"(Usage: vqiptv COMMAND [ARGUMENTS] [SOURCE] [OPTIONS]

Browse IPTV M3U playlists the way a media player does through the library.

Commands:
  groups                 list the playlist's groups with their channel counts
                         (the channels themselves when the playlist has no groups)
  channels GROUP         list the channels of GROUP: name, id and stream URL
  resolve ID             print the stream URL of channel ID and the headers to send
  validate               print the completed settings document of the source
  inspect FILE           print the parser's view of a local file: format, items,
                         CUE sheet and warnings by kind
  stats [SOURCE]         print the library's statistics (after listing SOURCE)
  help, version

Source (groups, channels, resolve, validate, stats):
  --url URL              the playlist at URL (default: the library's default playlist)
  --file PATH            a local playlist file, served to the library offline
  --settings JSON        a settings document, handed to the library as it is

Options:
  --json                 print the library's documents exactly as it answered them
  --player mpv|ffplay|vlc
                         (resolve) print a command line that plays the channel
                         with the headers it needs
  --charset NAME         (inspect) decode the file from NAME (e.g. cp1252, utf-16le)
  --format auto|m3u|m3u8-hls|streaming-list|cue
                         (inspect) parse as this format instead of detecting it
  -h, --help             show this text
  --version              show the library version

Tables fit the terminal (or $COLUMNS) and shorten long texts with an ellipsis.
On a terminal, downloads show their progress on stderr.

Exit status:
  0  success
  1  other failure
  2  usage error
  3  not found (playlist, group, channel id or file)
  4  network failure or server error
  5  unusable content (not a playlist, no playable entries)
  6  access refused (HTTP 401/403, unreadable file)
  7  rate limited (HTTP 429)
  8  invalid settings or argument
  9  not supported (no network transport in this build)

Examples:
  vqiptv groups --file samples/sample.m3u
  vqiptv channels News --file samples/sample.m3u
  vqiptv resolve 0123456789abcdef --file samples/sample.m3u --player mpv
  vqiptv groups --url https://example.com/playlist.m3u --json
)";
}

}  // namespace vqt

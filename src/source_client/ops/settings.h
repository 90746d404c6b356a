// The settings every operation receives: a JSON object whose "URL" names the
// playlist (the built-in default when absent, null or empty) and whose
// "UserAgent" and "Headers" shape the requests for it. Those three are read
// spelt so only; one of them spelt in another letter case, without the member
// itself, is refused.
#pragma once
#include "common/json.h"
#include "quorvex_iptv.h"
#include "source_client/ops/settings_headers.h"

namespace vqc {

constexpr const char *kDefaultPlaylistUrl = "https://iptv-org.github.io/iptv/index.category.m3u";

struct settings {
    vqjson::Doc doc;   // the parsed settings; url and headers may point into it
    const char *url;   // the effective playlist URL
    int used_default;  // 1 when url is the default
    settings_headers headers;
};

// Reads settings_json into s: 0; -8 with the reason in msg (kMsgSize bytes) for
// settings that cannot be used; -5 "out of memory" when parsing runs short.
int read_settings(const char *settings_json, settings &s, char *msg);

// Whether io can carry the operations' network access.
inline bool io_usable(const quorvex_io *io) { return io && io->get; }
constexpr const char *kNoBackend = "no quorvex_io backend";

struct playlist;

// The first steps every operation shares: read the settings into s, check the
// backend, and have the cache hand out the playlist (refresh 1 asks the server
// even for a fresh copy). 0 with *pl set, or a failure status with msg.
int open_playlist(const quorvex_io *io, const char *settings_json, settings &s, int refresh, playlist **pl,
                  char *msg);

}  // namespace vqc

// The library's listing and stream documents read into plain records, and
// every document shown as people read it.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vqt {

struct Entry {
    std::string id, name, path, group, tvg_name, stream_url;
    bool folder = false;
    int64_t count = 0;
};

struct Stream {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
};

// False when doc is not a document of that kind. texts, when given, gets
// each listing entry's JSON text as the library wrote it.
bool read_listing(const std::string &doc, std::vector<Entry> &entries, std::vector<std::string> *texts = nullptr);
bool read_stream(const std::string &doc, Stream &stream);

// A name as the listing writes it ("∕", U+2215, for each "/") turned back
// into the name as the playlist has it.
std::string with_slashes(const std::string &name);

// "1 channel", "2 channels".
std::string plural(size_t n, const char *one, const char *many);

// A folder listing: a table of groups or of channels, then a count.
std::string render_listing(const std::vector<Entry> &entries, size_t width);

// The stream URL and the headers to send, one per line, never shortened.
std::string render_stream(const Stream &stream);

// A JSON document indented, or "" when doc is not JSON. A control character
// in a string (DEL and U+0080 to U+009F too) is written as a \u escape.
std::string render_pretty(const std::string &doc);

// An object of objects as indented, aligned "name  value" lines.
std::string render_tree(const std::string &doc);

// s as one word of a POSIX shell, quoted only when it needs to be. A word
// that holds a control (a byte below 0x20, DEL, or U+0080 to U+009F) is
// written $'...' with it as octal escapes, which bash, zsh, ksh and
// POSIX.1-2024 shells read (dash 0.5.12 does not): a terminal never gets it.
std::string shell_quote(const std::string &s);

}  // namespace vqt

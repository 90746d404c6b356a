// The names under which playlists give a stream its User-Agent and Referer,
// and where each name is read: the keys of "#EXTVLCOPT" options and of
// "#EXTINF" attributes, and header names ("#EXTHTTP" objects, "#KODIPROP"
// header lists, a location's "|" suffix). A new spelling is one row.
#pragma once
#include <string_view>

namespace vqc {

enum class header_kind { user_agent, referer, other };

// Where a spelling is read (a set of these).
enum spelling_place : unsigned {
    kOptionKey = 1,     // "#EXTVLCOPT:key=value"
    kAttributeKey = 2,  // an "#EXTINF" attribute
    kHeaderName = 4,    // "#EXTHTTP", "#KODIPROP" and suffix headers
};

struct header_spelling {
    std::string_view name;  // compared ignoring ASCII case
    header_kind kind;
    unsigned places;
};

// Among an entry's attributes an earlier row wins over a later one.
inline constexpr header_spelling kHeaderSpellings[] = {
    {"http-user-agent", header_kind::user_agent, kOptionKey | kAttributeKey},
    {"http-referrer", header_kind::referer, kOptionKey | kAttributeKey},
    {"http-referer", header_kind::referer, kOptionKey | kAttributeKey},
    {"user-agent", header_kind::user_agent, kAttributeKey | kHeaderName},
    {"referer", header_kind::referer, kAttributeKey | kHeaderName},
    {"referrer", header_kind::referer, kAttributeKey | kHeaderName},
};

// The "#KODIPROP" properties whose value lists request headers
// ("Name=Value&...", percent-encoded).
inline constexpr std::string_view kHeaderListProperties[] = {
    "inputstream.adaptive.stream_headers",
    "inputstream.adaptive.manifest_headers",
};

// What a name read at that place spells: the kind of its row, other when no
// row of that place has it.
header_kind spelled_kind(std::string_view name, spelling_place place);

// Whether a "#KODIPROP" property lists request headers.
bool lists_headers(std::string_view property);

}  // namespace vqc

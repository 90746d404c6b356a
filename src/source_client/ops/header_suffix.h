// Request headers written after a stream location, the way playlists made for
// Kodi carry them: "http://host/live.m3u8|User-Agent=Kodi%2F20&Referer=...".
// Pure text work on views: no allocation, no state, no lock.
#pragma once
#include <cstddef>
#include <string_view>

namespace vqc {

struct header_suffix {
    std::string_view url;    // what a player opens
    std::string_view pairs;  // the text after the "|"; empty when there is no suffix
};

struct header_pair {
    std::string_view name;
    std::string_view value;  // still percent-encoded
};

enum class header_kind { user_agent, referer, other };

// Splits a location at its first "|" when what follows reads as header pairs
// ("Name=Value" joined by "&", white space around the "|" and around each pair
// ignored, names HTTP tokens, at least one pair); any other location comes
// back whole with no pairs.
header_suffix split_header_suffix(std::string_view location);

// Takes the next pair off the front of pairs; false when none is left.
// Meant for the pairs of a split suffix, which all read well.
bool next_header_pair(std::string_view &pairs, header_pair *pair);

// "User-Agent", "Referer" and "Referrer" in any letter case, or another header.
header_kind kind_of_header(std::string_view name);

// Percent-decodes value into out (at least value.size() bytes); a "%" not
// followed by two hexadecimal digits stays as it is. Answers the length.
size_t percent_decode(std::string_view value, char *out);

// A decoded value a player may be handed: not empty, valid UTF-8, and free of
// control bytes (a CR or LF would split the request).
bool sendable_header_value(std::string_view value);

}  // namespace vqc

// Request headers written after a stream location, the way playlists made for
// Kodi and TiviMate carry them: "http://host/live.m3u8|User-Agent=Kodi%2F20&
// Referer=..." or "...|Referer=https://r.example/|User-Agent=Mozilla/5.0".
// The "Name=Value&..." lists of "#KODIPROP" header properties read the same.
// Pure text work on views: no allocation, no state, no lock.
#pragma once
#include <cstddef>
#include <string_view>

#include "source_client/model/header_spellings.h"

namespace vqc {

struct header_suffix {
    std::string_view url;    // what a player opens
    std::string_view pairs;  // the text after the "|"; empty when there is no suffix
};

struct header_pair {
    std::string_view name;
    std::string_view value;  // still form-encoded
};

// Splits a location at its first "|" when what follows reads as header pairs;
// any other location comes back whole with no pairs.
header_suffix split_header_suffix(std::string_view location);

// Whether text reads as header pairs: "Name=Value" joined by "&" or "|"
// (white space around each pair ignored, names HTTP tokens, at least one pair).
bool reads_as_header_pairs(std::string_view text);

// Takes the next pair off the front of pairs; false when none is left.
// Meant for text that reads as header pairs.
bool next_header_pair(std::string_view &pairs, header_pair *pair);

// Whether name is an HTTP token, as a header name must be.
bool header_name(std::string_view name);

// User-Agent or Referer in any of the spellings a header name takes (any
// letter case), or another header.
header_kind kind_of_header(std::string_view name);

// Decodes a form-encoded value into out (at least value.size() bytes): "%"
// and two hexadecimal digits give that byte, "+" a space; a "%" not followed
// by two hexadecimal digits stays as it is. Answers the length.
size_t form_decode(std::string_view value, char *out);

// A decoded value a player may be handed: not empty, valid UTF-8, and free of
// control bytes (a CR or LF would split the request).
bool sendable_header_value(std::string_view value);

}  // namespace vqc

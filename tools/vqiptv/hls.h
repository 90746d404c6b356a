// The one step a player takes into an M3U answer: a master playlist's first
// variant, or a media playlist's first segment.
#pragma once
#include <string_view>

namespace vqt {

struct HlsStep {
    enum class Kind { variant, segment, none } kind = Kind::none;
    std::string_view uri;    // as written: relative to the playlist's URL or absolute
    bool encrypted = false;  // the segment is AES-128 encrypted (no signature to see)
};

// The first URI line of text, a variant when an "#EXT-X-STREAM-INF" precedes
// it, else a segment; none when the text has no URI line.
HlsStep first_step(std::string_view text);

}  // namespace vqt

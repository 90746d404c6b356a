// The "headers" object of a stream's answer, from every place a playlist
// writes them, in this order of precedence: the channel's user agent and
// referrer (its "#EXTVLCOPT" options, then its attributes), then its
// "#EXTHTTP" and "#KODIPROP" header texts, then the location's "|" suffix.
#pragma once
#include <string_view>

#include "common/json.h"
#include "source_client/model/channel_model.h"

namespace vqc {

struct header_sources {
    std::string_view user_agent;  // the channel's own; empty when it has none
    std::string_view referrer;
    const playlist *pl;           // holds the texts; null when there are none
    header_text_run texts;
    std::string_view suffix_pairs;  // the pairs of the location's suffix
};

// User-Agent, then Referer, then the other headers in the order written, at
// most kMaxSourceHeaders of them (fetch/source_headers.h), a name taken
// before (letter case aside) dropped; so is a value a player must not be
// handed (sendable_header_value), wherever it comes from, and one whose line
// would be longer than kMaxHeaderLine. Only what is kept is copied, and the
// reading stops once nothing more can be: the work and the memory stay
// within a small multiple of the entry's own text. Throws std::bad_alloc
// (inside vqjson::build) when memory runs out.
vqjson::Value stream_headers(const header_sources &src, vqjson::Doc &doc);

}  // namespace vqc

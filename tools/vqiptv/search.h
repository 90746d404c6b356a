// `search`: the channels of a whole playlist whose name, tvg-name or group
// holds a text, letter case and accents aside (fold.h); and the channels a
// name given for `resolve` or `play` picks.
#pragma once
#include <string>
#include <vector>

#include "render.h"

namespace vqt {

// One matching channel: its record, and its entry as the library wrote it.
struct Hit {
    Entry entry;
    std::string json;
};

// Text as search compares it: folded, and "∕" read as the "/" it stands for.
std::string search_key(const std::string &text);

// How a channel matches a key: its name, tvg-name or group holds it (search),
// or its name is it (a channel named on the command line).
enum class Match { holds, name_is };

// Adds the channel entries of a listing document that match key (a
// search_key) to hits, in the listing's order. False when doc is no listing.
bool find_in_listing(const std::string &doc, const std::string &key, Match match, std::vector<Hit> &hits);

// The hits as one JSON array of the library's entries.
std::string hits_json(const std::vector<Hit> &hits);

// The hits as a table of GROUP, NAME and ID, then a count.
std::string render_hits(const std::vector<Hit> &hits, size_t width);

}  // namespace vqt

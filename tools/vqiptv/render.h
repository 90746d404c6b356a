// The library's documents as people read them.
#pragma once
#include <string>
#include <vector>

#include "docs.h"

namespace vqt {

// A folder listing: a table of groups or of channels, then a count.
std::string render_listing(const std::vector<Entry> &entries, size_t width);

// The stream URL and the headers to send, one per line, never shortened.
std::string render_stream(const Stream &stream);

// A JSON document indented, or "" when doc is not JSON.
std::string render_pretty(const std::string &doc);

// An object of objects as indented, aligned "name  value" lines.
std::string render_tree(const std::string &doc);

}  // namespace vqt

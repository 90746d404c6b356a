// The library's listing and stream documents read into plain records.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vqt {

struct Entry {
    std::string id, name, path, group, stream_url;
    bool folder = false;
    int64_t count = 0;
};

struct Stream {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
};

// False when doc is not a document of that kind.
bool read_listing(const std::string &doc, std::vector<Entry> &entries);
bool read_stream(const std::string &doc, Stream &stream);

}  // namespace vqt

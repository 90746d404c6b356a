// The yardstick for the library's cold listing: a plain extended-M3U parser of
// the kind anyone would write first. Lines are split with memchr; each entry's
// name, URL and attributes are copied into std::string fields and the entries
// kept in a std::vector. No charset decoding, no repair, no channel model.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct plain_entry {
    std::string name;
    std::string url;
    std::vector<std::pair<std::string, std::string>> attrs;
};

std::vector<plain_entry> plain_parse(std::string_view text);

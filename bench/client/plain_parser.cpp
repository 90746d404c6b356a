#include "plain_parser.h"

#include <cstring>

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// key="value" pairs up to the first comma outside quotes, then the title.
void read_extinf(std::string_view s, plain_entry &e) {
    size_t at = s.find_first_of(" ,");  // past the duration
    while (at < s.size() && s[at] == ' ') {
        size_t eq = s.find("=\"", at);
        size_t comma = s.find(',', at);
        if (eq == s.npos || eq > comma) break;
        size_t close = s.find('"', eq + 2);
        if (close == s.npos) break;
        e.attrs.emplace_back(std::string(trim(s.substr(at, eq - at))), std::string(s.substr(eq + 2, close - eq - 2)));
        at = close + 1;
    }
    size_t comma = s.find(',', at == s.npos ? 0 : at);
    if (comma != s.npos) e.name = std::string(trim(s.substr(comma + 1)));
}

}  // namespace

std::vector<plain_entry> plain_parse(std::string_view text) {
    std::vector<plain_entry> entries;
    plain_entry pending;
    const char *p = text.data(), *end = p + text.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        std::string_view line = trim(std::string_view(p, static_cast<size_t>((nl ? nl : end) - p)));
        p = nl ? nl + 1 : end;
        if (line.empty()) continue;
        if (line.compare(0, 8, "#EXTINF:") == 0) {
            read_extinf(line.substr(8), pending);
        } else if (line[0] != '#') {
            pending.url = std::string(line);
            entries.push_back(std::move(pending));
            pending = plain_entry{};
        }
    }
    return entries;
}

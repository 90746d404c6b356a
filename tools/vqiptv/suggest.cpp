#include "suggest.h"

#include <algorithm>
#include <string_view>

#include "search.h"

namespace vqt {
namespace {

constexpr size_t kMost = 3;

// The characters of a UTF-8 text, each as its bytes (a stray byte alone).
std::vector<std::string_view> characters(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 1; i <= s.size(); ++i) {
        if (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        out.push_back(s.substr(start, i - start));
        start = i;
    }
    return out;
}

// Edits from a to b: characters inserted, removed, replaced, or two
// neighbours swapped (the commonest slip of the keys).
size_t edits(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::vector<std::string> nearest_names(const std::string &typed, const std::vector<std::string> &names) {
    std::string key = search_key(typed);
    std::vector<std::string> same;
    for (const std::string &n : names)
        if (search_key(n) == key) same.push_back(n);
    if (!same.empty()) return same;
    // Farther than a third of the typed text is no longer a slip of the keys.
    std::vector<std::string_view> want = characters(key);
    size_t limit = std::max<size_t>(1, want.size() / 3);
    std::vector<std::pair<size_t, size_t>> near;  // distance, index
    for (size_t i = 0; i < names.size(); ++i)
        if (size_t d = edits(want, characters(search_key(names[i]))); d <= limit) near.emplace_back(d, i);
    std::stable_sort(near.begin(), near.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (size_t k = 0; k < near.size() && k < kMost; ++k) out.push_back(names[near[k].second]);
    return out;
}

std::string did_you_mean(const std::vector<std::string> &names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += i + 1 == names.size() ? " or " : ", ";
        out += "\"" + names[i] + "\"";
    }
    return out.empty() ? "" : "did you mean " + out + "?";
}

}  // namespace vqt

#include "suggest.h"

#include <algorithm>
#include <string_view>

#include "common/utf8.h"
#include "search.h"

namespace vqt {
namespace {

constexpr size_t kMost = 3;

bool continues(char c) { return vq_utf8_continues(static_cast<unsigned char>(c)); }

// How many characters characters() finds in s, without making them.
size_t character_count(std::string_view s) {
    if (s.empty()) return 0;
    return 1 + static_cast<size_t>(std::count_if(s.begin() + 1, s.end(), [](char c) { return !continues(c); }));
}

// The characters of a UTF-8 text, each as its bytes (a stray byte alone).
std::vector<std::string_view> characters(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 1; i <= s.size(); ++i) {
        if (i < s.size() && continues(s[i])) continue;
        out.push_back(s.substr(start, i - start));
        start = i;
    }
    return out;
}

// Edits from a to b: characters inserted, removed, replaced, or two
// neighbours swapped (the commonest slip of the keys). Three rows of the
// table are kept, as a swap looks two rows back.
size_t edits(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b) {
    std::vector<size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) last[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return last[b.size()];
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
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name = search_key(names[i]);
        // A length alone that many characters away is that many edits: a long
        // name costs a count, not a table as long as it.
        size_t count = character_count(name);
        if ((count > want.size() ? count - want.size() : want.size() - count) > limit) continue;
        if (size_t d = edits(want, characters(name)); d <= limit) near.emplace_back(d, i);
    }
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

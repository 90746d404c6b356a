#include "search.h"

#include "fold.h"
#include "layout.h"

namespace vqt {
namespace {

bool holds(const std::string &field, const std::string &key) {
    return search_key(field).find(key) != std::string::npos;
}

bool matches(const Entry &e, const std::string &key, Match match) {
    if (e.folder) return false;
    if (match == Match::name_is) return search_key(e.name) == key;
    return holds(e.name, key) || holds(e.tvg_name, key) || holds(e.group, key);
}

}  // namespace

std::string search_key(const std::string &text) { return fold_for_matching(with_slashes(text)); }

bool find_in_listing(const std::string &doc, const std::string &key, Match match, std::vector<Hit> &hits) {
    std::vector<Entry> entries;
    std::vector<std::string> texts;
    if (!read_listing(doc, entries, &texts)) return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (matches(entries[i], key, match)) hits.push_back({entries[i], texts[i]});
    }
    return true;
}

std::string hits_json(const std::vector<Hit> &hits) {
    std::string out = "[";
    for (const Hit &h : hits) out += (out.size() > 1 ? "," : "") + h.json;
    return out + "]";
}

std::string render_hits(const std::vector<Hit> &hits, size_t width) {
    Table t({{"GROUP", false, Cut::end}, {"NAME", false, Cut::end}, {"ID", false, Cut::none}});
    for (const Hit &h : hits) t.add({h.entry.group, h.entry.name, h.entry.id});
    return t.render(width) + plural(hits.size(), "channel", "channels") + "\n";
}

}  // namespace vqt

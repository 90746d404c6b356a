#include "render.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>

#include "table.h"
#include "text.h"

namespace vqt {
namespace {

std::string plural(size_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string group_table(const std::vector<Entry> &entries, size_t width) {
    Table t({{"GROUP", false, Cut::end}, {"CHANNELS", true, Cut::none}});
    int64_t channels = 0;
    for (const Entry &e : entries) {
        // The name as `channels` takes it back: the path without its slash.
        t.add({e.path.empty() ? e.name : e.path.substr(1), std::to_string(e.count)});
        channels += e.count;
    }
    return t.render(width) + plural(entries.size(), "group", "groups") + ", " +
           plural(static_cast<size_t>(channels), "channel", "channels") + "\n";
}

std::string channel_table(const std::vector<Entry> &entries, size_t width) {
    Table t({{"NAME", false, Cut::end}, {"ID", false, Cut::none}, {"STREAM URL", false, Cut::middle}});
    for (const Entry &e : entries) t.add({e.name, e.id, e.stream_url});
    return t.render(width) + plural(entries.size(), "channel", "channels") + "\n";
}

// A scalar member's text: strings as they are, other values as JSON.
std::string scalar(const rapidjson::Value &v) {
    if (v.IsString()) return std::string(v.GetString(), v.GetStringLength());
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return sb.GetString();
}

void tree(const rapidjson::Value &obj, const std::string &indent, std::string &out) {
    size_t key_width = 0;
    for (const auto &m : obj.GetObject())
        if (!m.value.IsObject()) key_width = std::max(key_width, display_width(m.name.GetString()));
    for (const auto &m : obj.GetObject()) {
        std::string name = printable(m.name.GetString());
        if (m.value.IsObject()) {
            out += indent + name + "\n";
            tree(m.value, indent + "  ", out);
            continue;
        }
        out += indent + name + std::string(key_width - display_width(name) + 2, ' ') + printable(scalar(m.value)) + "\n";
    }
}

// "Label:" padded to one column, then the value in full.
std::string labelled(const std::string &label, const std::string &value) {
    std::string head = printable(label) + ":";
    return head + std::string(head.size() < 12 ? 12 - head.size() : 1, ' ') + printable(value) + "\n";
}

}  // namespace

std::string render_listing(const std::vector<Entry> &entries, size_t width) {
    bool groups = !entries.empty() && std::all_of(entries.begin(), entries.end(), [](const Entry &e) { return e.folder; });
    return groups ? group_table(entries, width) : channel_table(entries, width);
}

std::string render_stream(const Stream &stream) {
    std::string out = labelled("URL", stream.url);
    for (const auto &[name, value] : stream.headers) out += labelled(name, value);
    if (stream.headers.empty()) out += "(no headers to send)\n";
    return out;
}

std::string render_pretty(const std::string &doc) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError()) return "";
    rapidjson::StringBuffer sb;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(sb);
    w.SetIndent(' ', 2);
    d.Accept(w);
    return std::string(sb.GetString()) + "\n";
}

std::string render_tree(const std::string &doc) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsObject()) return "";
    std::string out;
    tree(d, "", out);
    return out;
}

}  // namespace vqt

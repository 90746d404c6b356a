#include "render.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/ascii.h"
#include "layout.h"

namespace vqt {
namespace {

std::string text(const rapidjson::Value &obj, const char *key) {
    auto m = obj.FindMember(key);
    return m != obj.MemberEnd() && m->value.IsString() ? std::string(m->value.GetString(), m->value.GetStringLength())
                                                        : std::string();
}

Entry entry(const rapidjson::Value &v) {
    Entry e;
    e.id = text(v, "id");
    e.name = text(v, "name");
    e.path = text(v, "path");
    e.group = text(v, "group");
    e.tvg_name = text(v, "tvg_name");
    e.stream_url = text(v, "stream_url");
    auto folder = v.FindMember("folder");
    e.folder = folder != v.MemberEnd() && folder->value.IsTrue();
    auto count = v.FindMember("count");
    if (count != v.MemberEnd() && count->value.IsInt64()) e.count = count->value.GetInt64();
    return e;
}

std::string group_table(const std::vector<Entry> &entries, size_t width) {
    Table t({{"GROUP", false, Cut::end}, {"CHANNELS", true, Cut::none}});
    int64_t channels = 0;
    for (const Entry &e : entries) {
        // As the listing names it, "∕" for "/": `channels` takes either spelling.
        t.add({e.name, t.keep(std::to_string(e.count))});
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

// A value's text: a string as it is, anything else as JSON.
std::string value_text(const rapidjson::Value &v) {
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
        out += indent + name + std::string(key_width - display_width(name) + 2, ' ') + printable(value_text(m.value)) + "\n";
    }
}

// "Label:" padded to one column, then the value in full.
std::string labelled(const std::string &label, const std::string &value) {
    std::string head = printable(label) + ":";
    return head + std::string(head.size() < 12 ? 12 - head.size() : 1, ' ') + printable(value) + "\n";
}

bool plain(char c) {
    return vq_is_alnum(c) || std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

// The bytes of the control at s[i] that a terminal would act on rather than
// show: 1 for a C0 byte or DEL, 2 for a C1 control in UTF-8 (C2 80 to C2 9F,
// U+0080 to U+009F), 0 for anything else.
size_t control_at(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) return 1;
    auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    return c == 0xC2 && next >= 0x80 && next <= 0x9F ? 2 : 0;
}

bool holds_control(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i)
        if (control_at(s, i)) return true;
    return false;
}

// s as $'...', each byte of a control as a three-digit octal escape (so a
// digit after it is never read into it): bash, zsh, ksh and POSIX.1-2024
// shells read the word back, and no control reaches the terminal.
std::string dollar_quoted(std::string_view s) {
    std::string out = "$'";
    for (size_t i = 0; i < s.size(); ++i) {
        if (size_t n = control_at(s, i)) {
            for (size_t k = 0; k < n; ++k) {
                char octal[5];
                std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(s[i + k]));
                out += octal;
            }
            i += n - 1;
            continue;
        }
        if (s[i] == '\'' || s[i] == '\\') out += '\\';
        out += s[i];
    }
    return out + "'";
}

// A JSON text with DEL and the C1 controls, which JSON writers leave raw in
// strings, written as \u escapes (the text means the same). The C0 controls
// of strings are escaped already; those left are the layout's line breaks.
std::string escaped_controls(const std::string &json) {
    std::string out;
    for (size_t i = 0; i < json.size(); ++i) {
        size_t n = control_at(json, i);
        if (n == 0 || static_cast<unsigned char>(json[i]) < 0x20) {
            out += json[i];
            continue;
        }
        char escape[7];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(json[i + n - 1]));
        out += escape;
        i += n - 1;
    }
    return out;
}

}  // namespace

std::string plural(size_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool read_listing(const std::string &doc, std::vector<Entry> &entries, std::vector<std::string> *texts) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsArray()) return false;
    for (const auto &v : d.GetArray()) {
        if (!v.IsObject()) return false;
        entries.push_back(entry(v));
        if (texts) texts->push_back(value_text(v));
    }
    return true;
}

std::string with_slashes(const std::string &name) {
    static const std::string_view kDivisionSlash = "\xE2\x88\x95";
    std::string out;
    for (size_t i = 0; i < name.size();) {
        bool slash = std::string_view(name).substr(i, kDivisionSlash.size()) == kDivisionSlash;
        out += slash ? '/' : name[i];
        i += slash ? kDivisionSlash.size() : 1;
    }
    return out;
}

bool read_stream(const std::string &doc, Stream &stream) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsObject()) return false;
    stream.url = text(d, "url");
    auto headers = d.FindMember("headers");
    if (headers == d.MemberEnd() || !headers->value.IsObject()) return !stream.url.empty();
    for (const auto &h : headers->value.GetObject())
        if (h.value.IsString()) stream.headers.emplace_back(h.name.GetString(), h.value.GetString());
    return !stream.url.empty();
}

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
    return escaped_controls(sb.GetString()) + "\n";
}

std::string render_tree(const std::string &doc) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsObject()) return "";
    std::string out;
    tree(d, "", out);
    return out;
}

std::string shell_quote(const std::string &s) {
    bool bare = !s.empty();
    for (char c : s) bare = bare && plain(c);
    if (bare) return s;
    if (holds_control(s)) return dollar_quoted(s);
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

}  // namespace vqt

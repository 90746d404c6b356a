#include "inspect.h"

#include <iconv.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "commands.h"
#include "layout.h"
#include "library.h"
#include "playlist_parser/vqplp.h"
#include "render.h"

namespace vqt {
namespace {

using Value = rapidjson::Value;

struct FormatName {
    std::string_view name;
    int32_t code;
};

constexpr std::array kFormats = {
    FormatName{"auto", VQPLP_FMT_AUTO},
    FormatName{"m3u", VQPLP_FMT_M3U},
    FormatName{"m3u8-hls", VQPLP_FMT_HLS},
    FormatName{"streaming-list", VQPLP_FMT_STREAMING_LIST},
    FormatName{"cue", VQPLP_FMT_CUE},
};

int32_t format_code(const std::string &name) {
    for (const FormatName &f : kFormats)
        if (f.name == name) return f.code;
    return VQPLP_FMT_AUTO;
}

int exit_for_parse(int32_t status) {
    if (status == VQPLP_E_ARG) return kExitInvalid;
    return status == VQPLP_E_IO ? kExitFailure : kExitContent;
}

bool known_charset(const std::string &name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

// A format forced on a file it does not fit still parses: into nothing.
bool nothing_usable() { return vqplp_item_count() == 0 && vqplp_cue_track_count() == 0; }

std::string str(const Value &obj, const char *key) {
    auto m = obj.FindMember(key);
    return m != obj.MemberEnd() && m->value.IsString() ? m->value.GetString() : "";
}

int64_t num(const Value &obj, const char *key) {
    auto m = obj.FindMember(key);
    return m != obj.MemberEnd() && m->value.IsInt64() ? m->value.GetInt64() : 0;
}

const Value *member(const Value &obj, const char *key) {
    auto m = obj.FindMember(key);
    return m != obj.MemberEnd() ? &m->value : nullptr;
}

// The items, with a GROUP column when any item names its group.
std::string items_table(const Value &items, size_t width) {
    std::vector<std::vector<std::string>> rows;
    bool grouped = false;
    for (const Value &item : items.GetArray()) {
        const Value *attrs = member(item, "attrs");
        std::string group = attrs && attrs->IsObject() ? str(*attrs, "group-title") : "";
        grouped = grouped || !group.empty();
        rows.push_back({std::to_string(rows.size() + 1), str(item, "title"), group, str(item, "location")});
    }
    std::vector<Column> columns = {{"#", true, Cut::none}, {"TITLE", false, Cut::end}, {"GROUP", false, Cut::end},
                                   {"LOCATION", false, Cut::middle}};
    if (!grouped) columns.erase(columns.begin() + 2);
    Table t(columns);
    for (auto &row : rows) {
        if (!grouped) row.erase(row.begin() + 2);
        t.add(std::move(row));
    }
    return rows.empty() ? "" : std::string("\n").append(t.render(width));
}

std::string clock(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

std::string cue_section(const Value &cue, size_t width) {
    std::string out = "\nCUE sheet: " + str(cue, "title");
    if (!str(cue, "performer").empty()) out += " / " + str(cue, "performer");
    Table t({{"TRACK", true, Cut::none}, {"TITLE", false, Cut::end}, {"FILE", false, Cut::end},
             {"START", true, Cut::none}});
    const Value *tracks = member(cue, "tracks");
    for (size_t i = 0; tracks && tracks->IsArray() && i < tracks->Size(); ++i) {
        const Value &track = (*tracks)[static_cast<rapidjson::SizeType>(i)];
        const Value *indices = member(track, "indices");
        bool timed = indices && indices->IsArray() && !indices->Empty();
        t.add({std::to_string(num(track, "number")), str(track, "title"), str(track, "file"),
               timed ? clock(num((*indices)[0], "ms")) : ""});
    }
    return out + "\n" + t.render(width);
}

std::string warnings_section(const Value &list) {
    std::vector<std::string> texts;
    for (const Value &w : list.GetArray())
        if (w.IsString()) texts.push_back(w.GetString());
    std::string out = "\nWarnings: " + std::to_string(texts.size()) + "\n";
    for (const auto &[kind, count] : warning_kinds(texts)) {
        char line[32];
        std::snprintf(line, sizeof line, "%7zu  ", count);
        out += line + kind + "\n";
    }
    return out;
}

}  // namespace

std::string warning_kind(const std::string &warning) {
    size_t first = warning.find(':');
    std::string kind = warning.substr(0, first == std::string::npos ? first : warning.find(':', first + 1));
    // Three words name the kind; what follows names the particular line or value.
    size_t at = 0;
    for (int words = 0; words < 3 && at != std::string::npos; ++words) at = kind.find(' ', at + 1);
    return kind.substr(0, at);
}

std::vector<std::pair<std::string, size_t>> warning_kinds(const std::vector<std::string> &warnings) {
    std::vector<std::pair<std::string, size_t>> kinds;
    for (const std::string &w : warnings) {
        std::string k = warning_kind(w);
        auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto &p) { return p.first == k; });
        if (it == kinds.end()) kinds.emplace_back(k, 1);
        else ++it->second;
    }
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    return kinds;
}

std::string render_parse(const std::string &doc, size_t width) {
    rapidjson::Document d;
    if (d.Parse(doc.c_str(), doc.size()).HasParseError() || !d.IsObject()) return "";
    std::string out = "Format: " + str(d, "format") + "\nItems:  " + std::to_string(num(d, "item_count")) + "\n";
    if (const Value *imdb = member(d, "imdb_date_playlist"); imdb && imdb->IsTrue()) out += "(IMDb date playlist)\n";
    if (const Value *items = member(d, "items"); items && items->IsArray()) out += items_table(*items, width);
    if (const Value *cue = member(d, "cue"); cue && cue->IsObject()) out += cue_section(*cue, width);
    if (const Value *w = member(d, "warnings"); w && w->IsArray()) out += warnings_section(*w);
    return out;
}

int run_inspect(const Options &opts, std::ostream &out, std::ostream &err) {
    const std::string &path = opts.operands[0];
    if (!opts.charset.empty() && !known_charset(opts.charset))
        return err << "vqiptv: unknown character set: " << opts.charset << "\n", kExitUsage;
    std::string bytes, error;
    if (int rc = read_file(path, bytes, error); rc != kExitOk) return err << "vqiptv: " << error << "\n", rc;
    const char *charset = opts.charset.empty() ? nullptr : opts.charset.c_str();
    int32_t status = vqplp_parse_enc(bytes.data(), bytes.size(), format_code(opts.format), charset);
    std::string doc = vqplp_result_json();
    out << (opts.json ? doc + "\n" : render_parse(doc, terminal_width()));
    if (status != VQPLP_OK) return err << "vqiptv: " << vqplp_last_error() << "\n", exit_for_parse(status);
    if (opts.format == "auto" || !nothing_usable()) return kExitOk;
    err << "vqiptv: " << file_name(path) << " read as " << opts.format << " gives nothing usable ("
        << plural(static_cast<size_t>(vqplp_warning_count()), "warning", "warnings") << ")\n";
    return kExitContent;
}

}  // namespace vqt

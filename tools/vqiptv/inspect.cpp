#include "inspect.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "commands.h"
#include "layout.h"
#include "library.h"
#include "playlist_parser/vqplp.h"
#include "render.h"
#include "source_client/fetch/body.h"
#include "source_client/fetch/gunzip.h"

namespace vqt {
namespace {

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

// A format forced on a file it does not fit still parses: into nothing.
bool nothing_usable() { return vqplp_item_count() == 0 && vqplp_cue_track_count() == 0; }

// The parser's strings, null for none, as text.
std::string_view text(const char *s) { return s ? s : ""; }

// The group an item names: its first "group-title" attribute, spelled so.
std::string_view group_of(int32_t i) {
    for (int32_t a = 0; a < vqplp_item_attr_count(i); ++a) {
        const char *key = vqplp_item_attr_key(i, a), *value = vqplp_item_attr_value(i, a);
        if (key && value && std::string_view(key) == "group-title") return value;
    }
    return "";
}

// The items, with a GROUP column when any item names its group. Cells are
// views into the parser's strings: a sheet whose tracks share a long file
// name is not copied once per track.
void write_items(std::ostream &out, size_t width) {
    int32_t count = vqplp_item_count();
    bool grouped = false;
    for (int32_t i = 0; i < count && !grouped; ++i) grouped = !group_of(i).empty();
    std::vector<Column> columns = {{"#", true, Cut::none}, {"TITLE", false, Cut::end}, {"GROUP", false, Cut::end},
                                   {"LOCATION", false, Cut::middle}};
    if (!grouped) columns.erase(columns.begin() + 2);
    Table t(columns);
    for (int32_t i = 0; i < count; ++i) {
        std::string_view number = t.keep(std::to_string(i + 1));
        std::string_view title = text(vqplp_item_title(i)), location = text(vqplp_item_location(i));
        if (grouped) t.add({number, title, group_of(i), location});
        else t.add({number, title, location});
    }
    if (count == 0) return;
    out << "\n";
    t.write(out, width);
}

std::string clock(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

// Where a track starts: its first index, "" when it has none.
std::string start_of(int32_t track) {
    if (vqplp_cue_track_index_count(track) == 0) return "";
    return clock(static_cast<int32_t>(vqplp_cue_track_index_frames(track, 0) * 1000 / 75));
}

void write_cue(std::ostream &out, size_t width) {
    out << "\nCUE sheet: " << printable(text(vqplp_cue_meta("TITLE")));
    if (!text(vqplp_cue_meta("PERFORMER")).empty()) out << " / " << printable(vqplp_cue_meta("PERFORMER"));
    out << "\n";
    Table t({{"TRACK", true, Cut::none}, {"TITLE", false, Cut::end}, {"FILE", false, Cut::end},
             {"START", true, Cut::none}});
    for (int32_t i = 0; i < vqplp_cue_track_count(); ++i)
        t.add({t.keep(std::to_string(vqplp_cue_track_number(i))), text(vqplp_cue_track_field(i, "TITLE")),
               text(vqplp_cue_track_field(i, "FILE")), t.keep(start_of(i))});
    t.write(out, width);
}

void write_warnings(std::ostream &out) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < vqplp_warning_count(); ++i)
        if (const char *w = vqplp_warning(i)) texts.push_back(w);
    if (vqplp_warning_count() == 0) return;
    out << "\nWarnings: " << texts.size() << "\n";
    for (const auto &[kind, count] : warning_kinds(texts)) {
        char line[32];
        std::snprintf(line, sizeof line, "%7zu  ", count);
        out << line << printable(kind) << "\n";  // a kind may hold a word of the playlist
    }
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

void write_parse(std::ostream &out, size_t width) {
    out << "Format: " << vqplp_format_name(vqplp_detected_format()) << "\nItems:  " << vqplp_item_count() << "\n";
    if (vqplp_m3u_is_imdb_date_playlist()) out << "(IMDb date playlist)\n";
    write_items(out, width);
    if (vqplp_detected_format() == VQPLP_FMT_CUE) write_cue(out, width);
    write_warnings(out);
}

namespace {

// A gzip file inflated as the fetch inflates a body that is one: by the same
// code, to the same limit, with the same messages.
int inflate(const std::string &path, std::string &bytes, std::string &error) {
    vqc::body_in body{};
    bool whole = vqc::body_take(body, bytes.data(), bytes.size()) == 0 && vqc::body_finish(body);
    int rc = kExitOk;
    if (body.too_large) error = "body exceeds 64 MiB from " + file_name(path), rc = kExitContent;
    else if (body.out_of_memory) error = "out of memory", rc = kExitFailure;
    else if (!whole) error = "gzip body is corrupt or cut short from " + file_name(path), rc = kExitContent;
    if (rc == kExitOk) bytes.assign(body.buf ? sbuf_data(body.buf) : "", vqc::body_len(body));
    vqc::body_clear(body);
    return rc;
}

// The bytes of a file, inflated when it is a gzip file.
int read_playlist(const std::string &path, std::string &bytes, std::string &error) {
    if (int rc = read_file(path, bytes, error); rc != kExitOk) return rc;
    bool gzip = bytes.size() >= sizeof vqc::kGzipMagic &&
                std::memcmp(bytes.data(), vqc::kGzipMagic, sizeof vqc::kGzipMagic) == 0;
    return gzip ? inflate(path, bytes, error) : kExitOk;
}

}  // namespace

int run_inspect(const Options &opts, std::ostream &out, std::ostream &err) {
    const std::string &path = opts.operands[0];
    if (!opts.charset.empty() && !vqplp_charset_name_known(opts.charset.c_str()))
        return err << "vqiptv: unknown character set: " << opts.charset << "\n", kExitUsage;
    std::string bytes, error;
    if (int rc = read_playlist(path, bytes, error); rc != kExitOk) return err << "vqiptv: " << error << "\n", rc;
    const char *charset = opts.charset.empty() ? nullptr : opts.charset.c_str();
    int32_t status = vqplp_parse_enc(bytes.data(), bytes.size(), format_code(opts.format), charset);
    std::string().swap(bytes);  // the parser keeps its own copy
    if (opts.json) out << vqplp_result_json() << "\n";
    else write_parse(out, terminal_width());
    if (status != VQPLP_OK) return err << "vqiptv: " << vqplp_last_error() << "\n", exit_for_parse(status);
    if (opts.format == "auto" || !nothing_usable()) return kExitOk;
    err << "vqiptv: " << file_name(path) << " read as " << opts.format << " gives nothing usable ("
        << plural(static_cast<size_t>(vqplp_warning_count()), "warning", "warnings") << ")\n";
    return kExitContent;
}

}  // namespace vqt

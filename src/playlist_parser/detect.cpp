// Format detection and the plain streaming-list parser.
#include <cstring>
#include <string_view>

#include "common/utf8.h"
#include "playlist_parser/parsers.h"
#include "playlist_parser/state.h"
#include "playlist_parser/text.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

namespace {

constexpr std::string_view kHlsTags[] = {"TARGETDURATION", "STREAM-INF", "MEDIA-SEQUENCE", "ENDLIST", "KEY:", "MAP:"};
// Detection looks this far into a text, so that it stays cheap however long
// the text is: the HLS tags, and the entries of an M3U list whose header is
// late or missing (banners and comments before them run to a few lines).
constexpr size_t kHeadWindow = 65536;

bool contains(std::string_view hay, std::string_view needle) { return hay.find(needle) != hay.npos; }

// Whether needle begins a line of w, after spaces or tabs at most.
bool starts_a_line(std::string_view w, std::string_view needle) {
    for (size_t at = w.find(needle); at != w.npos; at = w.find(needle, at + 1)) {
        size_t b = at;
        while (b > 0 && (w[b - 1] == ' ' || w[b - 1] == '\t')) --b;
        if (b == 0 || w[b - 1] == '\n' || w[b - 1] == '\r') return true;
    }
    return false;
}

// What an "#EXTINF" line of a channel list writes after its colon and an HLS
// segment's never does: a negative duration, or an attribute (name="value").
bool is_channel_info(std::string_view info) {
    if (trimmed(info).substr(0, 1) == "-") return true;
    for (size_t eq = info.find('='); eq != info.npos; eq = info.find('=', eq + 1))
        if (quote_after(info, eq) != info.npos) return true;
    return false;
}

// Whether the line begins with a URI scheme and "://".
bool is_absolute_url(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (vq_is_alnum(line[i]) || line[i] == '+' || line[i] == '-' || line[i] == '.')) ++i;
    return i > 0 && vq_is_alpha(line[0]) && line.substr(i, 3) == "://";
}

// The first line of s that is neither blank nor a tag: an entry's location.
std::string_view next_location(std::string_view s) {
    for (size_t at = 0; at < s.size();) {
        size_t end = s.find_first_of("\r\n", at);
        std::string_view line = trimmed(s.substr(at, end == s.npos ? s.npos : end - at));
        if (!line.empty() && line.front() != '#') return line;
        at = end == s.npos ? s.size() : end + 1;
    }
    return {};
}

struct Entries {
    bool any = false;
    bool channel = false;   // one reads as a channel (is_channel_info)
    bool absolute = false;  // one's location is an absolute URL
};

Entries read_entries(std::string_view w) {
    Entries e;
    for (size_t at = w.find("#EXTINF:"); at != w.npos; at = w.find("#EXTINF:", at + 1)) {
        std::string_view rest = w.substr(at + 8);
        size_t end = rest.find_first_of("\r\n");
        e.any = true;
        e.channel = e.channel || is_channel_info(rest.substr(0, end));
        e.absolute = e.absolute || (end != rest.npos && is_absolute_url(next_location(rest.substr(end))));
    }
    return e;
}

bool looks_cue(std::string_view w) {
    return (contains(w, "FILE \"") || contains(w, "\nFILE ")) && contains(w, "TRACK ") && contains(w, "INDEX ");
}

// Bytes a UTF-8 sequence with this lead byte spans (1 for a stray byte).
size_t step_of(unsigned char c) {
    size_t len = vq_utf8_lead_len(c);
    return len ? len : 1;
}

// The first separator, "," or U+FF0C, stepping over whole UTF-8 sequences;
// npos when there is none. *sep_len receives its length in bytes.
size_t find_separator(std::string_view s, size_t *sep_len) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        *sep_len = c == ',' ? 1 : s.substr(i, 3) == "\xEF\xBC\x8C" ? 3 : 0;
        if (*sep_len) return i;
        size_t step = step_of(c);
        i += step < s.size() - i ? step : s.size() - i;
    }
    return std::string_view::npos;
}

int stream_line(std::string_view line) {
    std::string_view name = line, url = line;
    size_t sep_len = 0;
    size_t sep = find_separator(line, &sep_len);
    if (sep != std::string_view::npos) {
        name = trimmed(line.substr(0, sep));
        url = trimmed(line.substr(sep + sep_len));
    }
    if (!has_stream_scheme(url)) {
        warnf("streaming: dropped non-http URL");
        return VQPLP_OK;
    }
    return entry_add(vqplp_entry{url, name.empty() ? url : name, nullptr, 0}, -1, -1);
}

}  // namespace

// A text is HLS when it holds an HLS tag and its entries are segments. A
// channel list may hold a few lines pasted from a manifest, but a segment
// never has a negative duration or attributes, and a media playlist whose
// segments have absolute locations still has "#EXT-X-TARGETDURATION" (a
// master playlist has no "#EXTINF" at all). "#EXT-X-VERSION" is HLS's own tag
// too, but some IPTV lists copy it into their header, so alone it marks HLS
// only when there are segments.
int looks_hls(const char *text, size_t len) {
    std::string_view w = head_window(text, len, kHeadWindow);
    bool tag = false, version = false;
    for (size_t at = w.find("#EXT-X-"); at != w.npos; at = w.find("#EXT-X-", at + 1)) {
        std::string_view name = w.substr(at + 7);
        for (std::string_view t : kHlsTags) tag = tag || name.substr(0, t.size()) == t;
        version = version || name.substr(0, 7) == "VERSION";
    }
    if (!tag && !version) return 0;
    Entries e = read_entries(w);
    if (e.channel || (e.absolute && !contains(w, "#EXT-X-TARGETDURATION"))) return 0;
    return tag || e.any;
}

int32_t sniff(const char *text, size_t len) {
    if (!text) return VQPLP_FMT_UNKNOWN;
    size_t i = 0;
    while (i < len && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    bool header = len - i >= 7 && std::memcmp(text + i, "#EXTM3U", 7) == 0;
    if (header || starts_a_line(head_window(text, len, kHeadWindow), "#EXTINF"))
        return looks_hls(text, len) ? VQPLP_FMT_HLS : VQPLP_FMT_M3U;
    if (looks_cue(head_window(text, len, 8192))) return VQPLP_FMT_CUE;
    if (has_stream_scheme(head_window(text, len, 4096))) return VQPLP_FMT_STREAMING_LIST;
    return VQPLP_FMT_UNKNOWN;
}

int parse_streaming_list(const char *text, size_t len, bool has_nul) {
    LineCursor cur = lines_begin(text, len, has_nul);
    std::string_view line;
    while (lines_next(cur, line)) {
        trim_inplace(line);
        if (line.empty()) continue;
        if (stream_line(line) != VQPLP_OK) return VQPLP_E_NOMEM;
    }
    g_vq.detected_format = VQPLP_FMT_STREAMING_LIST;
    return VQPLP_OK;
}

}  // namespace vqplp

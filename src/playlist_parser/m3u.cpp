// M3U and extended-M3U parser: one item per location line, with the duration,
// attributes and title of the "#EXTINF" line before it and the "#EXTGRP:"
// group written before its location. Pending values are views into the
// decoded text; only a finished item is copied into the arena.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "common/byte_scan.h"
#include "playlist_parser/parsers.h"
#include "playlist_parser/state.h"
#include "playlist_parser/text.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

namespace {

using Pair = vqplp_pair;

struct M3uState {
    bool header_seen = false;
    bool passed_over = false;  // a non-empty line came before the header
    unsigned long long line_no = 0;  // counted only while the header is looked for
    bool extinf_pending = false;
    bool group_pending = false;
    int32_t duration = -1;
    std::string_view title;
    std::string_view group;
    int attr_count = 0;
    Pair attrs[kMaxAttrs];
};

enum class Tag { kExtinf, kGroup, kOption, kIgnored, kUnknown };

struct TagPrefix {
    std::string_view prefix;
    Tag tag;
    vqplp_option_tag option;  // for Tag::kOption
};

constexpr TagPrefix kTags[] = {
    {"#EXTINF", Tag::kExtinf, {}},
    {"#EXTGRP:", Tag::kGroup, {}},
    {"#PLAYLIST:", Tag::kIgnored, {}},
    {"#EXTVLCOPT", Tag::kOption, VQPLP_TAG_EXTVLCOPT},
    {"#EXTHTTP:", Tag::kOption, VQPLP_TAG_EXTHTTP},
    {"#KODIPROP:", Tag::kOption, VQPLP_TAG_KODIPROP},
    {"#EXTIMG", Tag::kIgnored, {}},
    {"#EXT-X-", Tag::kIgnored, {}},
};

constexpr TagPrefix kUnknownTag = {{}, Tag::kUnknown, {}};

// Nearly every tag line of a list is an "#EXTINF:" one: its eight bytes,
// folded to lower case at once, tell it before the table is walked.
const TagPrefix &classify(std::string_view line) {
    if (line.size() >= 8 && vqbytes::lower8(vqbytes::load8(line.data())) == vqbytes::load8("#extinf:")) return kTags[0];
    for (const TagPrefix &t : kTags)
        if (vq_istarts_with(line, t.prefix)) return t;
    return kUnknownTag;
}

// The last comma outside double quotes, or npos, by a forward walk: quoted
// stretches are jumped over whole; a quote left open hides every comma after it.
size_t title_comma_walk(std::string_view s) {
    size_t last = std::string_view::npos;
    size_t pos = 0;
    while (pos < s.size()) {
        size_t q = s.find('"', pos);
        size_t c = s.substr(pos, q == s.npos ? s.npos : q - pos).rfind(',');
        if (c != s.npos) last = pos + c;
        if (q == s.npos) break;
        size_t close = s.find('"', q + 1);
        if (close == s.npos) break;
        pos = close + 1;
    }
    return last;
}

// The last "," of s, or npos. The title after it is short, but a byte loop
// from the end loses its time to the mispredicted exit, so eight bytes are
// looked at a time.
size_t last_comma(std::string_view s) {
    size_t c = vqbytes::find_last(s.data(), s.size(), ',');
    return c == s.size() ? s.npos : c;
}

// The title comma is nearly always the last comma of the line, and it lies
// outside quotes exactly when an even number of quotes comes before it; only
// when that test fails is the line walked from the start.
size_t title_comma(std::string_view s) {
    size_t c = last_comma(s);
    if (c == s.npos) return c;
    return vqbytes::odd_count(s.data(), c, '"') ? title_comma_walk(s) : c;
}

// The end of an unquoted value, or of a token that is no pair: the next white
// space.
size_t token_end(std::string_view s, size_t i) {
    while (i < s.size() && !vq_is_space(s[i])) ++i;
    return i;
}

// Where the key at s[i] ends: at white space or "=". Keys are short and their
// end is where the byte loop loses most of its time to a mispredicted exit, so
// the bytes that may end one (below 0x21 or "=") are looked for many a step; a
// control byte so found does not end the key.
size_t key_end(std::string_view s, size_t i) {
    for (;; ++i) {
        i += vqbytes::find_blank_or(s.data() + i, s.size() - i, '=');
        if (i == s.size() || s[i] == '=' || vq_is_space(s[i])) return i;
    }
}

// The first c of s at or after i, or s.size(). Values and keys are short, and
// a library call per value costs more than the search itself.
template <unsigned char C>
size_t find_from(std::string_view s, size_t i) {
    return i + vqbytes::find_any<C>(s.data() + i, s.size() - i);
}

// Reads the value after "=" at s[i]; i moves past it (and a closing quote).
// The closing quote is looked for in `line`, which holds s and goes on past
// it, so that the last value, a few bytes before the title, is found by the
// wide scan too; a quote beyond s closes nothing.
std::string_view read_value(std::string_view s, std::string_view line, size_t *i) {
    if (*i < s.size() && s[*i] == '"') {
        size_t end = std::min(find_from<'"'>(line, *i + 1), s.size());
        std::string_view v = s.substr(*i + 1, end - *i - 1);
        *i = end == s.size() ? end : end + 1;
        return v;
    }
    size_t end = token_end(s, *i);
    std::string_view v = s.substr(*i, end - *i);
    *i = end;
    return v;
}

// White space, and the commas that malformed lines put before a key
// ("#EXTINF:-1,tvg-id=...").
void skip_separators(std::string_view s, size_t *i) {
    while (*i < s.size() && (vq_is_space(s[*i]) || s[*i] == ',')) ++*i;
}

// Where the value of the key that ends at s[stop] starts: right after its
// "=", or at a double quote that follows the "=" after white space, as lists
// write name = "value"; npos when the key has no "=" of its own.
size_t value_start(std::string_view s, size_t stop) {
    if (s[stop] == '=' && (stop + 1 == s.size() || !vq_is_space(s[stop + 1]))) return stop + 1;  // key=value, key="value"
    size_t eq = stop;
    skip_ws(s, &eq);
    size_t quote = eq < s.size() && s[eq] == '=' ? quote_after(s, eq) : s.npos;
    if (quote != s.npos) return quote;
    return s[stop] == '=' ? stop + 1 : s.npos;
}

// The pairs of region, the start of line.
void read_attrs(M3uState &st, std::string_view region, std::string_view line) {
    size_t i = 0;
    while (st.attr_count < kMaxAttrs) {
        skip_separators(region, &i);
        if (i >= region.size()) return;
        size_t stop = key_end(region, i);
        if (stop >= region.size()) return;  // a last word without "="
        size_t value = stop == i ? region.npos : value_start(region, stop);
        if (value == region.npos) {
            i = token_end(region, i);  // not a pair: drop the token
            continue;
        }
        std::string_view key = region.substr(i, stop - i);
        i = value;
        st.attrs[st.attr_count++] = Pair{key, read_value(region, line, &i)};
    }
}

bool has_group_title(const M3uState &st) {
    for (int i = 0; i < st.attr_count; ++i)
        if (vq_ieq(st.attrs[i].key, "group-title")) return true;
    return false;
}

void apply_group(M3uState &st) {
    if (!st.group_pending) return;
    if (st.attr_count < kMaxAttrs && !has_group_title(st)) st.attrs[st.attr_count++] = Pair{"group-title", st.group};
    st.group_pending = false;
}

// Duration, attributes and title of the text after the colon.
void read_extinf_body(M3uState &st, std::string_view s) {
    size_t i = 0;
    skip_ws(s, &i);
    bool negative = i < s.size() && s[i] == '-';
    if (negative) ++i;
    int32_t value = read_number(s, &i);
    st.duration = value < 0 ? -1 : negative ? -value : value;
    skip_ws(s, &i);
    std::string_view rest = s.substr(i);
    size_t comma = title_comma(rest);
    if (comma != rest.npos) st.title = trimmed(rest.substr(comma + 1));
    read_attrs(st, rest.substr(0, comma), rest);
}

void parse_extinf(M3uState &st, std::string_view line) {
    st.title = {};
    st.attr_count = 0;
    st.duration = -1;
    size_t colon = find_from<':'>(line, 0);
    if (colon == line.size())
        warnf("m3u: invalid EXTINF");
    else
        read_extinf_body(st, line.substr(colon + 1));
    st.extinf_pending = true;
}

int32_t duration_ms(int32_t d) {
    if (d < 0) return -1;
    return d > INT32_MAX / 1000 ? d : d * 1000;
}

// The group pending goes to the entry whose location this is, with or
// without an "#EXTINF" before it.
int add_entry(M3uState &st, std::string_view location) {
    if (!st.extinf_pending) {
        warnf("m3u: bare path accepted");
        st.title = {};
        st.attr_count = 0;
        st.duration = -1;
    }
    st.extinf_pending = false;
    apply_group(st);
    return entry_add(vqplp_entry{location, st.title, st.attrs, st.attr_count}, duration_ms(st.duration), st.duration);
}

// The text after a tag and its colon, without surrounding white space.
std::string_view tag_text(std::string_view line, size_t tag_len) {
    std::string_view rest = trimmed(line.substr(tag_len));
    if (!rest.empty() && rest.front() == ':') rest = trimmed(rest.substr(1));
    return rest;
}

int hand_option(const TagPrefix &t, std::string_view line) {
    const vqplp_sink *sink = g_vq.sink;
    if (!sink) return VQPLP_OK;
    int rc = 0;
    if (sink->tagged_option)
        rc = sink->tagged_option(sink->ctx, t.option, tag_text(line, t.prefix.size()));
    else if (sink->option && t.option == VQPLP_TAG_EXTVLCOPT)
        rc = sink->option(sink->ctx, line.substr(t.prefix.size()));
    return rc == 0 ? VQPLP_OK : VQPLP_E_NOMEM;
}

int handle_line(M3uState &st, std::string_view raw) {
    std::string_view line = trimmed(raw);
    if (line.empty()) return VQPLP_OK;
    if (line.front() != '#') {
        if (line.size() != raw.size()) warnf("m3u: location trimmed");
        return add_entry(st, line);
    }
    const TagPrefix &tag = classify(line);
    switch (tag.tag) {
        case Tag::kExtinf:
            parse_extinf(st, line);
            break;
        case Tag::kGroup:
            st.group = trimmed(line.substr(8));
            st.group_pending = true;
            break;
        case Tag::kOption:
            warnf("m3u: ignored tag");
            return hand_option(tag, line);
        case Tag::kIgnored:
            warnf("m3u: ignored tag");
            break;
        case Tag::kUnknown:
            warnf("m3u: unknown tag");
            break;
    }
    return VQPLP_OK;
}

// Tags that belong to an entry: one of them before any header starts the
// entries of a list written without one.
bool starts_entries(std::string_view line) {
    Tag t = classify(line).tag;
    return t == Tag::kExtinf || t == Tag::kGroup || t == Tag::kOption;
}

// A line while the header is looked for. Real lists put banners, comments or
// blank lines before it, misspell it ("/#EXTM3U") or leave it out; such a
// list is read all the same, from its header or else from its first entry
// tag, and what comes before is passed over. True when the line is that
// entry tag, to be handled as such.
bool seek_header(M3uState &st, std::string_view raw) {
    ++st.line_no;
    std::string_view line = trimmed(raw);
    if (line.empty()) return false;
    st.header_seen = true;
    if (vq_istarts_with(line, "#EXTM3U")) {
        if (st.passed_over) warnf("m3u: late header on line %llu", st.line_no);
        return false;
    }
    if (starts_entries(line)) {
        warnf("m3u: missing header, entries from line %llu", st.line_no);
        return true;
    }
    if (icontains(line, "#extm3u")) {
        warnf("m3u: misspelt header on line %llu", st.line_no);
        return false;
    }
    st.header_seen = false;
    st.passed_over = true;
    return false;
}

bool is_imdb_item(const Item &it) {
    const char *t = arena_str(it.title);
    return t && t[0] == 't' && t[1] == 't' && it.duration_raw >= 1;
}

void mark_imdb_dates() {
    if (g_vq.item_count == 0) return;
    for (int32_t i = 0; i < g_vq.item_count; ++i)
        if (!is_imdb_item(g_vq.items[i])) return;
    g_vq.imdb_date_playlist = 1;
    for (int32_t i = 0; i < g_vq.item_count; ++i) g_vq.items[i].release_date = g_vq.items[i].duration_raw;
}

}  // namespace

int parse_m3u(const char *text, size_t len, bool has_nul) {
    if (looks_hls(text, len)) {
        g_vq.detected_format = VQPLP_FMT_HLS;
        set_error("HLS manifest detected; not parsed as playlist items");
        return VQPLP_E_FORMAT;
    }
    M3uState st;
    LineCursor cur = lines_begin(text, len, has_nul);
    std::string_view line;
    while (lines_next(cur, line)) {
        if (!st.header_seen && !seek_header(st, line)) continue;
        int rc = handle_line(st, line);
        if (rc != VQPLP_OK) return rc;
    }
    if (!st.header_seen) {
        set_error("Not a valid M3U file. Missing header.");
        return VQPLP_E_FORMAT;
    }
    g_vq.detected_format = VQPLP_FMT_M3U;
    mark_imdb_dates();
    return VQPLP_OK;
}

}  // namespace vqplp

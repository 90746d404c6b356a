// CUE sheet parser: sheet values, tracks with their INDEX/PREGAP/POSTGAP times
// (75 frames a second), then one item per track. Unusable lines only warn.
#include <string_view>

#include "playlist_parser/parsers.h"
#include "playlist_parser/state.h"
#include "playlist_parser/text.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

namespace {

enum Keyword {
    kFile,
    kTrack,
    kIndex,
    kPregap,
    kPostgap,
    kTitle,
    kPerformer,
    kSongwriter,
    kCatalog,
    kCdTextFile,
    kIsrc,
    kFlags,
    kRem,
    kGarbage
};

constexpr std::string_view kKeywords[] = {"FILE",  "TRACK",     "INDEX",      "PREGAP",  "POSTGAP",
                                          "TITLE", "PERFORMER", "SONGWRITER", "CATALOG", "CDTEXTFILE",
                                          "ISRC",  "FLAGS",     "REM"};

// The FILE line in force; its strings are stored once and shared by the
// tracks that begin under it.
struct CueState {
    bool has_track = false;
    uint32_t file = kNoString, file_type = kNoString;
};

Keyword keyword_of(std::string_view word) {
    for (size_t k = 0; k < sizeof kKeywords / sizeof kKeywords[0]; ++k)
        if (vq_ieq(word, kKeywords[k])) return static_cast<Keyword>(k);
    return kGarbage;
}

CueTrack *current(const CueState &st) { return st.has_track ? &g_vq.tracks[g_vq.track_count - 1] : nullptr; }

int set_file(CueState &st, std::string_view arg) {
    std::string_view name = arg, type;
    size_t last_space = arg.rfind(' ');
    if (last_space != arg.npos && last_space >= 1) {
        type = arg.substr(last_space + 1);
        name = arg.substr(0, last_space);
    }
    st.file = arena_put(strip_quotes(name));
    st.file_type = arena_put(type);
    return st.file == kNoString || st.file_type == kNoString ? VQPLP_E_NOMEM : VQPLP_OK;
}

int add_track(CueState &st, std::string_view arg) {
    void *tracks = g_vq.tracks;
    if (!grow_array(&tracks, &g_vq.track_cap, static_cast<uint32_t>(g_vq.track_count), 16, sizeof(CueTrack)))
        return VQPLP_E_NOMEM;
    g_vq.tracks = static_cast<CueTrack *>(tracks);
    CueTrack t{};
    size_t i = 0;
    skip_ws(arg, &i);
    t.number = read_number(arg, &i);
    if (t.number < 0) t.number = 0;
    skip_ws(arg, &i);
    t.datatype = arena_put(arg.substr(i));
    if (t.datatype == kNoString) return VQPLP_E_NOMEM;
    t.index_first = g_vq.index_count;
    t.file = st.file;
    t.file_type = st.file_type;
    g_vq.tracks[g_vq.track_count++] = t;
    st.has_track = true;
    return VQPLP_OK;
}

// minutes:seconds:frames, then only white space.
bool parse_time(std::string_view s, CueTime *t) {
    size_t i = 0;
    int32_t parts[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && (i >= s.size() || s[i++] != ':')) return false;
        parts[k] = read_number(s, &i);
        if (parts[k] < 0) return false;
    }
    skip_ws(s, &i);
    if (i != s.size()) return false;
    t->minutes = parts[0];
    t->seconds = parts[1];
    t->frames = parts[2];
    return true;
}

int add_index(CueTrack &track) {
    void *idx = g_vq.indices;
    if (!grow_array(&idx, &g_vq.index_cap, g_vq.index_count, 16, sizeof(CueTime))) return VQPLP_E_NOMEM;
    g_vq.indices = static_cast<CueTime *>(idx);
    ++track.index_count;
    ++g_vq.index_count;
    return VQPLP_OK;
}

int read_index(CueTrack &track, std::string_view arg) {
    size_t i = 0;
    skip_ws(arg, &i);
    CueTime t{};
    t.number = read_number(arg, &i);
    if (t.number < 0) {
        warnf("cue: malformed INDEX");
        return VQPLP_OK;
    }
    skip_ws(arg, &i);
    if (i >= arg.size() || !parse_time(arg.substr(i), &t)) {
        warnf("cue: malformed %s time", kKeywords[kIndex].data());
        return VQPLP_OK;
    }
    if (track.index_count >= kMaxIndices) return VQPLP_OK;
    if (add_index(track) != VQPLP_OK) return VQPLP_E_NOMEM;
    g_vq.indices[g_vq.index_count - 1] = t;
    return VQPLP_OK;
}

void read_gap(CueTrack &track, Keyword kw, std::string_view arg) {
    CueTime t{};
    if (!parse_time(trimmed(arg), &t)) {
        warnf("cue: malformed %s time", kKeywords[kw].data());
        return;
    }
    (kw == kPregap ? track.pregap : track.postgap) = t;
    (kw == kPregap ? track.has_pregap : track.has_postgap) = 1;
}

// Where a quoted value of this keyword goes; null when it is ignored.
uint32_t *value_slot(CueTrack *track, Keyword kw) {
    switch (kw) {
        case kTitle:
            return track ? &track->title : &g_vq.cue_meta[kCueTitle];
        case kPerformer:
            return track ? &track->performer : &g_vq.cue_meta[kCuePerformer];
        case kSongwriter:
            return track ? &track->songwriter : &g_vq.cue_meta[kCueSongwriter];
        case kCatalog:
            return track ? nullptr : &g_vq.cue_meta[kCueCatalog];
        case kCdTextFile:
            return track ? nullptr : &g_vq.cue_meta[kCueCdTextFile];
        case kIsrc:
            return track ? &track->isrc : nullptr;
        default:
            return nullptr;
    }
}

int set_value(CueTrack *track, Keyword kw, std::string_view arg) {
    if (kw == kTitle && arg.empty()) warnf("cue: empty TITLE value");
    uint32_t *slot = value_slot(track, kw);
    if (!slot) return VQPLP_OK;
    uint32_t off = arena_put(strip_quotes(arg));
    if (off == kNoString) return VQPLP_E_NOMEM;
    *slot = off;
    return VQPLP_OK;
}

int set_flags(CueTrack *track, std::string_view arg) {
    if (!track) {
        warnf("cue: FLAGS before TRACK ignored");
        return VQPLP_OK;
    }
    uint32_t off = arena_put(arg);
    if (off == kNoString) return VQPLP_E_NOMEM;
    track->flags = off;
    return VQPLP_OK;
}

int timed_line(CueTrack *track, Keyword kw, std::string_view arg) {
    if (!track) {
        warnf("cue: %s before TRACK ignored", kKeywords[kw].data());
        return VQPLP_OK;
    }
    if (kw == kIndex) return read_index(*track, arg);
    read_gap(*track, kw, arg);
    return VQPLP_OK;
}

// Length to hand to "%.*s": a warning keeps 511 bytes at most anyway.
int printable_len(std::string_view s) { return static_cast<int>(s.size() < kTextCap ? s.size() : kTextCap); }

int handle_line(CueState &st, std::string_view line) {
    size_t space = line.find(' ');
    std::string_view word = line.substr(0, space);
    std::string_view arg = space == line.npos ? std::string_view() : line.substr(space + 1);
    Keyword kw = keyword_of(word);
    CueTrack *track = current(st);
    switch (kw) {
        case kFile:
            return set_file(st, arg);
        case kTrack:
            return add_track(st, arg);
        case kIndex:
        case kPregap:
        case kPostgap:
            return timed_line(track, kw, arg);
        case kFlags:
            return set_flags(track, arg);
        case kRem:
            warnf("cue: REM %.*s", printable_len(arg), arg.data());
            return VQPLP_OK;
        case kGarbage:
            warnf("cue: garbage: %.*s", printable_len(line), line.data());
            return VQPLP_OK;
        default:
            return set_value(track, kw, arg);
    }
}

int tracks_to_items() {
    for (int32_t i = 0; i < g_vq.track_count; ++i) {
        const CueTrack &t = g_vq.tracks[i];
        uint32_t loc = t.file != kNoString ? t.file : kEmptyString;
        uint32_t title = t.title != kNoString ? t.title : kEmptyString;
        if (item_add_refs(loc, title, -1, -1) != VQPLP_OK) return VQPLP_E_NOMEM;
    }
    return VQPLP_OK;
}

}  // namespace

int parse_cue(const char *text, size_t len, bool has_nul) {
    CueState st;
    LineCursor cur = lines_begin(text, len, has_nul);
    std::string_view line;
    while (lines_next(cur, line)) {
        trim_inplace(line);
        if (line.empty()) continue;
        if (handle_line(st, line) != VQPLP_OK) return VQPLP_E_NOMEM;
    }
    g_vq.detected_format = VQPLP_FMT_CUE;
    return tracks_to_items();
}

}  // namespace vqplp

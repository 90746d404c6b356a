// The playlist parser engine: one process-wide parser state, no lock of its own
// (callers serialise every call and every use of a returned string). Strings
// handed out are borrowed and stay valid until the next parse, detection,
// vqplp_result_json call or vqplp_clear.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// Format codes.
enum : int32_t {
    VQPLP_FMT_AUTO = -1,
    VQPLP_FMT_M3U = 0,
    VQPLP_FMT_HLS = 1,
    VQPLP_FMT_STREAMING_LIST = 2,
    VQPLP_FMT_CUE = 3,
    VQPLP_FMT_UNKNOWN = 4,
};

// Parse status codes.
enum : int32_t {
    VQPLP_OK = 0,
    VQPLP_E_DECODE = 1,
    VQPLP_E_FORMAT = 3,
    VQPLP_E_ARG = 4,
    VQPLP_E_IO = 5,
    VQPLP_E_NOMEM = 6,
};

void vqplp_clear();

int32_t vqplp_parse(const void *bytes, size_t len, int32_t format);
// vqplp_parse over bytes the caller keeps alive and unchanged until the next
// parse or vqplp_clear: a playlist that already is UTF-8 is read where it
// lies (its decoded text is then those bytes, with no NUL after them), so the
// input is never copied; any other input is decoded as by vqplp_parse.
int32_t vqplp_parse_borrowed(const char *bytes, size_t len, int32_t format);
// One entry as a parser read it, handed to a sink: views into the decoded
// text (vqplp_decoded_text), so they stay valid as long as that text does;
// the pair array itself only during the call.
struct vqplp_pair {
    std::string_view key, value;
};
struct vqplp_entry {
    std::string_view location, title;
    const vqplp_pair *attrs;
    int32_t attr_count;
};
// The M3U lines that carry options for the entry that follows them.
enum vqplp_option_tag : int32_t {
    VQPLP_TAG_EXTVLCOPT = 0,  // "#EXTVLCOPT:key=value" (VLC)
    VQPLP_TAG_EXTHTTP = 1,    // "#EXTHTTP:{json object of header names and values}"
    VQPLP_TAG_KODIPROP = 2,   // "#KODIPROP:key=value" (Kodi)
};
// Where a parse hands its entries. Each callback answers 0 to go on; anything
// else stops the parse with VQPLP_E_NOMEM.
struct vqplp_sink {
    int (*entry)(void *ctx, const vqplp_entry &entry);
    // The text after the tag of each "#EXTVLCOPT" line of an M3U playlist (a
    // view into the decoded text, the line trimmed), before the entry it
    // precedes. Null: such lines are passed over.
    int (*option)(void *ctx, std::string_view text);
    void *ctx;
    // Each "#EXTVLCOPT", "#EXTHTTP:" and "#KODIPROP:" line of an M3U playlist
    // (tags compared ignoring case), before the entry it precedes: which tag,
    // and the text after the tag and its colon with surrounding white space
    // removed (a view into the decoded text). When set, it takes the
    // "#EXTVLCOPT" lines too and option is not called; null: "#EXTHTTP:" and
    // "#KODIPROP:" lines are passed over.
    int (*tagged_option)(void *ctx, vqplp_option_tag tag, std::string_view text) = nullptr;
};
// vqplp_parse_borrowed that hands every M3U and streaming-list entry to the
// sink in order instead of keeping it, so that a caller building its own
// records never holds the parser's copy of them too: the item count stays 0.
int32_t vqplp_parse_borrowed_each(const char *bytes, size_t len, const vqplp_sink &sink);
int32_t vqplp_parse_enc(const void *bytes, size_t len, int32_t format, const char *charset);
int32_t vqplp_parse_file(const char *path);
int32_t vqplp_parse_file_enc(const char *path, const char *charset);
// Whether the _enc parses read a text named charset: a name of their own
// (utf8, gbk, latin1, ...) or one the platform's converter knows.
bool vqplp_charset_name_known(const char *charset);
int32_t vqplp_detect(const void *bytes, size_t len);

int32_t vqplp_item_count();
const char *vqplp_item_location(int32_t i);
const char *vqplp_item_title(int32_t i);
int32_t vqplp_item_duration_ms(int32_t i);
int32_t vqplp_item_release_date(int32_t i);
const char *vqplp_item_attr(int32_t i, const char *key);
int32_t vqplp_item_attr_count(int32_t i);
const char *vqplp_item_attr_key(int32_t i, int32_t a);
const char *vqplp_item_attr_value(int32_t i, int32_t a);
int32_t vqplp_m3u_is_imdb_date_playlist();

const char *vqplp_cue_meta(const char *name);
int32_t vqplp_cue_track_count();
int32_t vqplp_cue_track_number(int32_t t);  // -1 for a bad index
const char *vqplp_cue_track_field(int32_t t, const char *name);
int32_t vqplp_cue_track_index_count(int32_t t);
int32_t vqplp_cue_track_index_number(int32_t t, int32_t k);
int64_t vqplp_cue_track_index_frames(int32_t t, int32_t k);
int32_t vqplp_cue_track_index_ms(int32_t t, int32_t k);

int32_t vqplp_warning_count();
const char *vqplp_warning(int32_t i);
const char *vqplp_last_error();
int32_t vqplp_detected_format();
const char *vqplp_format_name(int32_t format);

// The UTF-8 text the last parse or detection worked on (exactly the decoded
// input, never modified by the parsers), or null; and its length.
const char *vqplp_decoded_text();
size_t vqplp_decoded_len();
// Hands the engine's own block that holds the decoded text to the caller, who
// frees it with vq_free; null when the text is the caller's borrowed bytes.
// The text stays where it is; the engine no longer frees it.
char *vqplp_take_decoded_block();
// Whether the decoded text is known to be well-formed UTF-8 throughout (no
// overlong form, surrogate or code point above U+10FFFF): then no piece of it
// cut at ASCII bytes needs repair. False when not known.
bool vqplp_decoded_is_well_formed();

const char *vqplp_result_json();

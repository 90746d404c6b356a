#include "playlist_entries.h"

#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"
#include "common/utf8.h"
#include "playlist_parser/vqplp.h"
#include "source_client/util/url_util.h"

namespace vqt {

// Takes the parser's entries one by one, each with the lines since the last.
struct PlaylistEntries::Sink {
    PlaylistEntries &self;
    const char *text = nullptr;
    size_t len = 0, cursor = 0;
    bool well_formed = false;
    bool disordered = false;  // a location outside the text, or before the last

    // s as the library stores it: a text that is not well-formed UTF-8 with
    // U+FFFD for each byte that starts no well-formed sequence.
    std::string_view stored(std::string_view s, std::string &into) const {
        auto *bytes = reinterpret_cast<const unsigned char *>(s.data());
        if (well_formed || vq_utf8_valid_prefix(bytes, s.size()) == s.size()) return s;
        into.resize(s.size() * 3);
        return {into.data(), vq_utf8_copy_repaired(into.data(), bytes, s.size())};
    }

    // The first tvg-id attribute's value, empty or not, as the library reads it.
    static std::string_view tvg_id(const vqplp_entry &e) {
        for (int32_t a = 0; a < e.attr_count; ++a)
            if (vq_ieq(e.attrs[a].key, "tvg-id")) return e.attrs[a].value;
        return {};
    }

    // FNV-1a over the stored location, the byte 0x1F and the stored tvg-id.
    Span span_of(const vqplp_entry &e, size_t end) {
        std::string location_copy, tvg_copy;
        std::string_view location = stored(e.location, location_copy), tvg = stored(tvg_id(e), tvg_copy);
        uint64_t h = vqc::vqiptv_fnv1a(location.data(), location.size(), vqc::kFnvOffsetBasis);
        h = vqc::vqiptv_fnv1a(tvg.data(), tvg.size(), vqc::vqiptv_fnv1a("\x1f", 1, h));
        return {h, cursor, end, vqc::vqiptv_uri_is_absolute_n(location.data(), location.size()) != 0};
    }

    // An entry without a location is no channel: its lines go with the next.
    int take(const vqplp_entry &e) {
        if (!text) {
            text = vqplp_decoded_text();
            len = vqplp_decoded_len();
            well_formed = vqplp_decoded_is_well_formed();
        }
        if (e.location.empty()) return 0;
        auto at = static_cast<size_t>(e.location.data() - text);
        if (e.location.data() < text || at < cursor || at > len || e.location.size() > len - at)
            return disordered = true, 1;
        const void *eol = std::memchr(text + at + e.location.size(), '\n', len - at - e.location.size());
        size_t end = eol ? static_cast<size_t>(static_cast<const char *>(eol) - text) + 1 : len;
        self.spans_.push_back(span_of(e, end));
        cursor = end;
        return 0;
    }

    static int entry(void *ctx, const vqplp_entry &e) { return static_cast<Sink *>(ctx)->take(e); }
};

PlaylistEntries::PlaylistEntries(std::string_view bytes) {
    Sink sink{*this};
    vqplp_sink parser_sink{Sink::entry, nullptr, &sink};
    int32_t status = vqplp_parse_borrowed_each(bytes.data(), bytes.size(), parser_sink);
    if (status == VQPLP_OK && vqplp_detected_format() == VQPLP_FMT_M3U) {
        text_ = std::string_view(vqplp_decoded_text(), vqplp_decoded_len());
        block_ = vqplp_take_decoded_block();
        find_head();
    } else {
        error_ = sink.disordered               ? "its entries do not follow one another in its text"
                 : status == VQPLP_E_NOMEM ? "out of memory"
                                           : "it is not an M3U playlist";
        spans_.clear();
    }
    vqplp_clear();
}

PlaylistEntries::~PlaylistEntries() { vq_free(block_); }

// The header is the first line that starts with "#EXTM3U" (a byte order mark
// and white space aside) before the first entry's location.
void PlaylistEntries::find_head() {
    size_t limit = spans_.empty() ? text_.size() : spans_[0].end;
    for (size_t at = 0; at < limit;) {
        size_t eol = text_.find('\n', at);
        size_t next = eol == std::string_view::npos ? text_.size() : eol + 1;
        std::string_view line = text_.substr(at, next - at);
        if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        while (!line.empty() && vq_is_space(line[0])) line.remove_prefix(1);
        if (vq_istarts_with(line, "#EXTM3U")) {
            head_end_ = next;
            if (!spans_.empty()) spans_[0].begin = next;
            return;
        }
        at = next;
    }
}

}  // namespace vqt

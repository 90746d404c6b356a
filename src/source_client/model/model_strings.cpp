// Strings of the channel model: references into the playlist's text, the arena
// of the strings that needed repair, and the folder-path segment form of a name.
#include <cstring>

#include "common/alloc.h"
#include "common/byte_scan.h"
#include "common/utf8.h"
#include "platform/platform.h"
#include "source_client/model/channel_model.h"

namespace vqc {

namespace {
constexpr uint64_t kArenaFirstCap = 4096;
// Offsets are 31-bit (the top bit of a text_ref marks the arena), so the arena
// stays below kInArena.
constexpr uint64_t kArenaMaxCap = kInArena - 16;
constexpr char kDivisionSlash[] = "\xE2\x88\x95";  // U+2215

// Whether vq_utf8_copy_repaired would copy the n bytes unchanged.
bool well_formed(const unsigned char *s, size_t n) { return vq_utf8_valid_prefix(s, n) == n; }

}  // namespace

bool arena_reserve(playlist *p, uint64_t extra) {
    uint64_t need = p->arena_len + extra;
    if (need <= p->arena_cap) return true;
    uint64_t cap = p->arena_cap ? p->arena_cap : kArenaFirstCap;
    while (cap < need) cap += cap / 2;
    if (cap > kArenaMaxCap) return false;
    char *grown = static_cast<char *>(vq_realloc(p->arena, cap));
    if (!grown) return false;
    p->arena = grown;
    p->arena_cap = cap;
    // A big playlist's arena is filled once, right away; on fresh memory the
    // page faults cost more than the copy itself.
    vqp::advise_huge_pages(grown, cap);
    return true;
}

uint32_t arena_add_n(playlist *p, const char *text, size_t len) {
    // The worst case (every byte replaced) is reserved up front, so the copy
    // never reallocates midway.
    if (len > kArenaMaxCap / 3 || !arena_reserve(p, 3 * static_cast<uint64_t>(len) + 1)) return kArenaFull;
    uint64_t off = p->arena_len;
    size_t n = vq_utf8_copy_repaired(p->arena + off, reinterpret_cast<const unsigned char *>(text), len);
    p->arena[off + n] = '\0';
    p->arena_len = off + n + 1;
    return static_cast<uint32_t>(off);
}

bool store_text_checked(playlist *p, std::string_view s, text_ref *ref) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(s.data());
    if (lies_in_text(p, s) && (p->text_well_formed || well_formed(bytes, s.size()))) {
        *ref = text_ref{static_cast<uint32_t>(s.data() - p->text), static_cast<uint32_t>(s.size())};
    } else {
        uint32_t off = arena_add_n(p, s.data(), s.size());
        if (off == kArenaFull) return false;
        *ref = text_ref{off | kInArena, static_cast<uint32_t>(p->arena_len - 1 - off)};
    }
    return true;
}

text_ref arena_ref(const playlist *p, uint32_t off) {
    return text_ref{off | kInArena, static_cast<uint32_t>(std::strlen(p->arena + off))};
}

void seg_str(vqjson::TextOut &out, std::string_view text) {
    while (!text.empty()) {
        size_t plain = vqbytes::find_json_escape<'/', 0x7F>(text.data(), text.size());
        out.raw(text.substr(0, plain));
        if (plain == text.size()) return;
        auto c = static_cast<unsigned char>(text[plain]);
        if (c == '"' || c == '\\')
            out.escaped(text.substr(plain, 1));
        else
            out.raw(c == '/' ? kDivisionSlash : " ");
        text.remove_prefix(plain + 1);
    }
}

}  // namespace vqc

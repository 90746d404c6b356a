// Where a channel's texts are kept: in its record, four bytes each, when they
// lie shortly before its location in the playlist's text (a title and the
// attributes of an #EXTINF line do); otherwise, and for the user agent and
// referrer, in the far table, which is looked up by halving.
#include <algorithm>

#include "source_client/model/model_build.h"

namespace vqc {

namespace {

// Whether r can be held as a near_ref of a channel whose location is loc.
bool near_enough(text_ref loc, text_ref r) {
    return !((loc.off | r.off) & kInArena) && r.off <= loc.off && loc.off - r.off <= UINT16_MAX && r.len < kFar;
}

}  // namespace

bool keep_channel_text(playlist *p, int32_t index, channel *c, channel_field f, text_ref r) {
    auto k = static_cast<uint32_t>(f);
    near_ref *slot = k < kNearFields ? &c->near[k] : nullptr;
    if (slot) *slot = near_ref{0, 0};
    if (r.len == 0) return true;
    if (slot && near_enough(c->location, r)) {
        *slot = near_ref{static_cast<uint16_t>(c->location.off - r.off), static_cast<uint16_t>(r.len)};
        return true;
    }
    if (!room_for_one(&p->far_texts, p->far_text_count, &p->far_text_cap)) return false;
    p->far_texts[p->far_text_count++] = far_text{index, f, r};
    if (slot) slot->len = kFar;
    return true;
}

std::string_view far_text_of(const playlist *p, int32_t index, channel_field f) {
    const far_text *begin = p->far_texts, *end = begin + p->far_text_count;
    const far_text *at = std::lower_bound(begin, end, far_text{index, f, {}}, [](const far_text &a, const far_text &b) {
        return a.channel != b.channel ? a.channel < b.channel : a.field < b.field;
    });
    return at != end && at->channel == index && at->field == f ? pl_text(p, at->text) : std::string_view("", 0);
}

}  // namespace vqc

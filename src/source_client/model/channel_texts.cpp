// Where a channel's texts are kept: in its record, four bytes each, when they
// lie shortly before its location in the playlist's text (a title and the
// attributes of an #EXTINF line do); otherwise, and for the user agent and
// referrer, in the far table, which is looked up by halving.
#include <algorithm>

#include "source_client/model/model_build.h"

namespace vqc {

bool keep_far_text(playlist *p, int32_t index, channel_field f, text_ref r) {
    if (!room_for_one(&p->far_texts, p->far_text_count, &p->far_text_cap)) return false;
    p->far_texts[p->far_text_count++] = far_text{index, f, r};
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

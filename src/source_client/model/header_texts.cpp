// The "#EXTHTTP" and "#KODIPROP" header texts the parser hands over before an
// entry: kept as references into the playlist's text (read only when a
// stream is resolved), at the end of the playlist's table until the entry
// they precede is known.
#include <algorithm>
#include <string_view>

#include "source_client/model/header_spellings.h"
#include "source_client/model/model_build.h"

namespace vqc {

namespace {
using sv = std::string_view;

// The value of a "#KODIPROP:" line ("property=value") whose property lists
// headers; empty for any other line.
sv header_list_of(sv line) {
    size_t eq = line.find('=');
    if (eq == sv::npos || !lists_headers(trimmed(line.substr(0, eq)))) return {};
    return trimmed(line.substr(eq + 1));
}
}  // namespace

bool keep_header_text(playlist *p, vqplp_option_tag tag, sv text, int32_t *pending) {
    header_form form = header_form::json_object;
    if (tag == VQPLP_TAG_KODIPROP) {
        text = header_list_of(text);
        form = header_form::pair_list;
    }
    if (text.empty()) return true;
    if (!room_for_one(&p->header_texts, p->header_text_count, &p->header_text_cap)) return false;
    header_text &h = p->header_texts[p->header_text_count];
    h = header_text{-1, form, text_ref{0, 0}};
    if (!store_text(p, text, &h.text)) return false;
    p->header_text_count++;
    (*pending)++;
    return true;
}

void settle_header_texts(playlist *p, int32_t channel, int32_t *pending) {
    if (channel < 0) p->header_text_count -= *pending;
    for (int32_t i = p->header_text_count - *pending; channel >= 0 && i < p->header_text_count; i++)
        p->header_texts[i].channel = channel;
    *pending = 0;
}

header_text_run header_texts_of(const playlist *p, int32_t index) {
    const header_text *begin = p->header_texts, *end = begin + p->header_text_count;
    const header_text *first =
        std::lower_bound(begin, end, index, [](const header_text &h, int32_t i) { return h.channel < i; });
    const header_text *last = first;
    while (last != end && last->channel == index) ++last;
    return {first, static_cast<int32_t>(last - first)};
}

}  // namespace vqc

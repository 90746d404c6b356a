#include "source_client/cache/oracle_dump.h"

#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "common/shared_buf.h"
#include "source_client/model/channel_model.h"

namespace vqc {

namespace {
constexpr size_t kDumpFirstCap = 1024;
}  // namespace

int oracle_convert(const char *text, playlist **out, char *msg, size_t size) {
    if (size) msg[0] = '\0';
    shared_buf *copy = sbuf_copy(text ? text : "", text ? std::strlen(text) : 0);
    if (!copy) return QVX_E_CONTENT;
    int rc = parse_body("oracle:", copy, out, msg, size);
    sbuf_unref(copy);
    return rc;
}

// Appends "name\tlocation\n" for every channel to a growing text.
char *dump_channels(const playlist *p) {
    size_t cap = kDumpFirstCap, len = 0;
    auto *text = static_cast<char *>(vq_malloc(cap));
    for (int32_t i = 0; text && i < p->channel_count; i++) {
        std::string_view name = channel_text(p, i, channel_field::name), loc = pl_text(p, p->channels[i].location);
        size_t nl = name.size(), ll = loc.size();
        size_t need = len + nl + ll + 4;
        if (need > cap) {
            while (need > cap) cap *= 2;
            auto *grown = static_cast<char *>(vq_realloc(text, cap));
            if (!grown) vq_free(text);
            text = grown;
            if (!text) break;
        }
        std::memcpy(text + len, name.data(), nl);
        text[len + nl] = '\t';
        std::memcpy(text + len + nl + 1, loc.data(), ll);
        text[len + nl + 1 + ll] = '\n';
        len += nl + ll + 2;
    }
    if (text) text[len] = '\0';
    return text;
}

}  // namespace vqc

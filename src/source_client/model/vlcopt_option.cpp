// The per-entry VLC options ("#EXTVLCOPT:http-user-agent=..." and the
// referrer) that the parser hands over line by line and does not keep.
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "source_client/model/header_spellings.h"
#include "source_client/model/model_build.h"

namespace vqc {

bool read_vlcopt(playlist *p, std::string_view text, entry_opts *opts) {
    const char *b = text.data(), *e = text.data() + text.size();
    const char *eq = static_cast<const char *>(std::memchr(b, '=', text.size()));
    if (!eq) return true;
    const char *key_end = eq;
    while (key_end > b && vq_is_space(key_end[-1])) key_end--;
    const char *v = eq + 1;
    while (v < e && vq_is_space(*v)) v++;
    if (e - v >= 2 && *v == '"' && e[-1] == '"') {
        v++;
        e--;
    }
    if (v == e) return true;
    header_kind kind = spelled_kind(std::string_view(b, static_cast<size_t>(key_end - b)), kOptionKey);
    if (kind == header_kind::other) return true;
    uint32_t *slot = kind == header_kind::user_agent ? &opts->user_agent : &opts->referrer;
    *slot = arena_add_n(p, v, static_cast<size_t>(e - v));
    return *slot != kArenaFull;
}

}  // namespace vqc

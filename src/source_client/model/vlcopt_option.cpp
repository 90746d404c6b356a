// The per-entry VLC options ("#EXTVLCOPT:http-user-agent=..." and the
// referrer) that the parser hands over line by line and does not keep.
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "source_client/model/model_build.h"

namespace vqc {

bool read_vlcopt(playlist *p, std::string_view text, entry_opts *opts) {
    const char *b = text.data(), *e = text.data() + text.size();
    while (b < e && vq_is_space(*b)) b++;
    if (b < e && *b == ':') b++;
    const char *eq = static_cast<const char *>(std::memchr(b, '=', static_cast<size_t>(e - b)));
    if (!eq) return true;
    const char *key_end = eq;
    while (b < key_end && vq_is_space(*b)) b++;
    while (key_end > b && vq_is_space(key_end[-1])) key_end--;
    const char *v = eq + 1;
    while (v < e && vq_is_space(*v)) v++;
    if (e - v >= 2 && *v == '"' && e[-1] == '"') {
        v++;
        e--;
    }
    if (v == e) return true;
    size_t klen = static_cast<size_t>(key_end - b);
    uint32_t *slot = nullptr;
    std::string_view key(b, klen);
    if (vq_ieq(key, "http-user-agent")) slot = &opts->user_agent;
    else if (vq_ieq(key, "http-referrer") || vq_ieq(key, "http-referer")) slot = &opts->referrer;
    if (!slot) return true;
    *slot = arena_add_n(p, v, static_cast<size_t>(e - v));
    return *slot != kArenaFull;
}

}  // namespace vqc

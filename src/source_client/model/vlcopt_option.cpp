// The per-entry VLC options ("#EXTVLCOPT:http-user-agent=..." and the
// referrer) that the parser hands over line by line and does not keep.
#include <cstring>
#include <string_view>

#include "source_client/model/model_build.h"
#include "source_client/util/ascii_case.h"

namespace vqc {

namespace {
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

bool read_vlcopt(playlist *p, std::string_view text, entry_opts *opts) {
    const char *b = text.data(), *e = text.data() + text.size();
    while (b < e && is_space(*b)) b++;
    if (b < e && *b == ':') b++;
    const char *eq = static_cast<const char *>(std::memchr(b, '=', static_cast<size_t>(e - b)));
    if (!eq) return true;
    const char *key_end = eq;
    while (b < key_end && is_space(*b)) b++;
    while (key_end > b && is_space(key_end[-1])) key_end--;
    const char *v = eq + 1;
    while (v < e && is_space(*v)) v++;
    if (e - v >= 2 && *v == '"' && e[-1] == '"') {
        v++;
        e--;
    }
    if (v == e) return true;
    size_t klen = static_cast<size_t>(key_end - b);
    uint32_t *slot = nullptr;
    if (ieq_n(b, klen, "http-user-agent")) slot = &opts->user_agent;
    else if (ieq_n(b, klen, "http-referrer") || ieq_n(b, klen, "http-referer")) slot = &opts->referrer;
    if (!slot) return true;
    *slot = arena_add_n(p, v, static_cast<size_t>(e - v));
    return *slot != kArenaFull;
}

}  // namespace vqc

#include "source_client/fetch/request_lines.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "http/headers.h"
#include "quorvex_iptv_version.h"
#include "source_client/fetch/validator_store.h"

namespace vqc {

namespace {

constexpr const char *kUserAgent = "quorvex-iptv/" QVX_VERSION_STRING;

void add_own(request_lines &l, const char *name, const char *value, char *line, size_t size) {
    if (value && quorvex_header_line(name, value, line, size) == 0) l.own[l.own_count++] = line;
}

bool private_line(std::string_view line) { return private_header(line.substr(0, line.find(':'))); }

}  // namespace

void lines_prepare(request_lines &l, const validator *stored, const source_headers *source) {
    l.own_count = 0;
    if (stored) {
        add_own(l, "If-None-Match", stored->etag, l.validators[0], sizeof l.validators[0]);
        add_own(l, "If-Modified-Since", stored->last_modified, l.validators[1], sizeof l.validators[1]);
    }
    const char *agent = source && source->user_agent ? source->user_agent : kUserAgent;
    add_own(l, "User-Agent", agent, l.agent, sizeof l.agent);
    l.source = source;
}

size_t lines_for(request_lines &l, bool at_origin) {
    size_t n = 0;
    for (size_t i = 0; i < l.own_count; ++i) l.all[n++] = l.own[i];
    size_t given = l.source ? std::min(l.source->count, kMaxSourceHeaders) : 0;
    for (size_t i = 0; i < given; ++i)
        if (at_origin || !private_line(l.source->lines[i])) l.all[n++] = l.source->lines[i];
    return n;
}

}  // namespace vqc

// The fetch's sinks: the headers it looks at (any letter case: HTTP/2 sends
// them in lower case) and the body of a 2xx answer.
#include "source_client/fetch/answer.h"

#include <algorithm>
#include <cstring>

#include "common/alloc.h"
#include "common/ascii.h"
#include "platform/platform.h"
#include "source_client/util/limits.h"

namespace vqc {

namespace {

// The validators of one answer hold at most this much between them (name,
// value and two NULs each); what a larger pair carries is not remembered.
constexpr size_t kValidatorBytes = 4096;

// The decimal number a header value holds, capped at cap; -1 when it holds
// anything else.
long long decimal(const char *text, long long cap) {
    long long n = 0;
    if (!*text) return -1;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return -1;
        n = std::min(n * 10 + (*text - '0'), cap);
    }
    return n;
}

// What the body needs to know before it arrives: whether it is wanted at all,
// how big it says it is, and whether that counts encoded bytes.
void note_framing(fetch_answer &a, const char *name, const char *value) {
    if (std::strcmp(name, ":status") == 0) {
        a.status = static_cast<int>(decimal(value, 1000));
    } else if (vq_ieq(name, "Content-Length")) {
        long long n = decimal(value, static_cast<long long>(kMaxBodyBytes) + 1);
        a.body.expected = n > 0 ? static_cast<size_t>(n) : 0;
    } else if (vq_ieq(name, "Content-Encoding") && !vq_ieq(value, "identity")) {
        a.body.encoded = true;
    }
}

// A copy of value in slot (replacing what it held); 1 (stop) when memory is short.
int keep_copy(fetch_answer &a, char *&slot, const char *value) {
    vq_free(slot);
    slot = vq_strdup(value);
    a.out_of_memory = !slot;
    return slot ? 0 : 1;
}

int note_location(fetch_answer &a, const char *value) {
    if (a.location || a.location_too_long) return 0;
    a.location_too_long = std::strlen(value) > kMaxUrlBytes;
    return a.location_too_long ? 0 : keep_copy(a, a.location, value);
}

int note_validator(fetch_answer &a, const char *name, const char *value) {
    bool etag = vq_ieq(name, "ETag"), modified = vq_ieq(name, "Last-Modified");
    if (!etag && !modified) return 0;
    size_t bytes = std::strlen(name) + std::strlen(value) + 2;
    if (bytes > kValidatorBytes - a.validator_bytes) return 0;
    a.validator_bytes += bytes;
    if (!*value) return 0;
    return keep_copy(a, etag ? a.etag : a.last_modified, value);
}

// Whatever the transport, nothing is taken past the deadline.
bool too_late(fetch_answer &a) {
    a.late = a.late || vqp::now_ms() >= a.deadline_ms;
    return a.late;
}

// Only a 2xx answer's body is a playlist: the body of an error or a redirect
// is never read, however long the server makes it. A transport that sends
// no ":status" has its bodies kept as before.
bool body_wanted(const fetch_answer &a) { return a.status < 0 || (a.status >= 200 && a.status <= 299); }

}  // namespace

void answer_clear(fetch_answer &a) {
    vq_free(a.etag);
    vq_free(a.last_modified);
    vq_free(a.location);
    body_clear(a.body);
    uint64_t deadline = a.deadline_ms;
    a = fetch_answer{};
    a.status = -1;
    a.deadline_ms = deadline;
}

int answer_header(void *user, const char *name, const char *value) {
    auto &a = *static_cast<fetch_answer *>(user);
    if (too_late(a)) return 1;
    note_framing(a, name, value);
    if (vq_ieq(name, "Location")) return note_location(a, value);
    return note_validator(a, name, value);
}

int answer_body(void *user, const void *data, size_t n) {
    auto &a = *static_cast<fetch_answer *>(user);
    if (too_late(a) || !body_wanted(a)) return 1;
    return body_take(a.body, data, n);
}

}  // namespace vqc

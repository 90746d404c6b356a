// "UserAgent" and "Headers", checked with the fetch's rules for a source's
// lines (fetch/source_headers.h) and formatted into one block. Messages name
// a header only once it is known to be a token, and never show a value.
#include "source_client/ops/settings_headers.h"

#include <cstring>
#include <string_view>

#include "common/alloc.h"
#include "common/ascii.h"
#include "source_client/util/message.h"

namespace vqc {

namespace {

using vqjson::Value;
using sv = std::string_view;

sv text_of(const Value &v) { return {v.GetString(), v.GetStringLength()}; }

// Counts for messages: every one comes from a JSON text, whose lengths are
// 32-bit (the 64-bit platform's printf forms differ between C runtimes).
unsigned u32(size_t n) { return static_cast<unsigned>(n); }

int read_agent(const Value &doc, settings_headers &h, char *msg) {
    const Value *v = vqjson::find_first(doc, "UserAgent");
    if (!v || v->IsNull()) return 0;
    if (!v->IsString()) return say(msg, QVX_E_INVALID, "UserAgent is not a string");
    sv agent = text_of(*v);
    header_fault fault = source_agent_fault(agent);
    if (fault == header_fault::value) return say(msg, QVX_E_INVALID, "UserAgent holds a control byte");
    if (fault == header_fault::too_long)
        return say(msg, QVX_E_INVALID, "UserAgent is too long: %u bytes, at most %u", u32(agent.size()),
                   u32(kMaxUserAgent));
    if (!agent.empty()) h.fetch.user_agent = v->GetString();
    return 0;
}

// The reason one member of "Headers" (the n-th, from 1) is refused.
int refuse(const Value::Member &m, size_t n, header_fault fault, char *msg) {
    sv name = text_of(m.name);
    int len = static_cast<int>(name.size());  // a token of at most 127 bytes past the first case
    switch (fault) {
        case header_fault::name:
            return say(msg, QVX_E_INVALID, "Headers: the name of header %u is not an HTTP token of 1 to 127 bytes",
                       u32(n));
        case header_fault::reserved:
            return say(msg, QVX_E_INVALID, "Headers: %.*s is set by the fetch itself", len, name.data());
        case header_fault::user_agent:
            return say(msg, QVX_E_INVALID, "Headers: %.*s goes in \"UserAgent\"", len, name.data());
        case header_fault::value:
            return say(msg, QVX_E_INVALID, "Headers: the value of %.*s holds a control byte", len, name.data());
        case header_fault::too_long:
            return say(msg, QVX_E_INVALID, "Headers: the line of %.*s is too long: %u bytes, at most %u", len,
                       name.data(), u32(name.size() + 2 + m.value.GetStringLength()), u32(kMaxHeaderLine));
        case header_fault::none: break;
    }
    return QVX_OK;
}

// One member, the n-th (from 1), after the n - 1 before it.
int check_member(const Value::Member *first, size_t n, char *msg) {
    const Value::Member &m = first[n - 1];
    sv name = text_of(m.name);
    if (!m.value.IsString()) {
        header_fault fault = source_header_fault(name, {});
        if (fault == header_fault::none)
            return say(msg, QVX_E_INVALID, "Headers: the value of %.*s is not a string", static_cast<int>(name.size()),
                       name.data());
        return refuse(m, n, fault, msg);
    }
    if (int rc = refuse(m, n, source_header_fault(name, text_of(m.value)), msg)) return rc;
    for (size_t i = 0; i + 1 < n; ++i)
        if (vq_ieq(text_of(first[i].name), name))
            return say(msg, QVX_E_INVALID, "Headers: %.*s is given twice", static_cast<int>(name.size()), name.data());
    return QVX_OK;
}

// "Name: value" of each member, back to back in one block.
int format_lines(const Value &headers, settings_headers &h, char *msg) {
    size_t bytes = 0;
    for (const auto &m : headers.GetObject()) bytes += m.name.GetStringLength() + 2 + m.value.GetStringLength() + 1;
    h.block = static_cast<char *>(vq_malloc(bytes ? bytes : 1));
    if (!h.block) return say(msg, QVX_E_CONTENT, "out of memory");
    char *at = h.block;
    size_t n = 0;
    for (const auto &m : headers.GetObject()) {
        h.lines[n++] = at;
        std::memcpy(at, m.name.GetString(), m.name.GetStringLength());
        at += m.name.GetStringLength();
        std::memcpy(at, ": ", 2);
        std::memcpy(at + 2, m.value.GetString(), m.value.GetStringLength());
        at += 2 + m.value.GetStringLength();
        *at++ = '\0';
    }
    h.fetch.lines = h.lines;
    h.fetch.count = n;
    return QVX_OK;
}

int read_headers(const Value &doc, settings_headers &h, char *msg) {
    const Value *v = vqjson::find_first(doc, "Headers");
    if (!v || v->IsNull()) return QVX_OK;
    if (!v->IsObject()) return say(msg, QVX_E_INVALID, "Headers is not an object");
    size_t count = v->MemberCount();
    if (count > kMaxSourceHeaders)
        return say(msg, QVX_E_INVALID, "Headers holds %u headers, at most %u", u32(count), u32(kMaxSourceHeaders));
    for (size_t n = 1; n <= count; ++n)
        if (int rc = check_member(&*v->MemberBegin(), n, msg)) return rc;
    return count ? format_lines(*v, h, msg) : QVX_OK;
}

}  // namespace

settings_headers::~settings_headers() { vq_free(block); }

int read_settings_headers(const Value &doc, settings_headers &h, char *msg) {
    if (int rc = read_agent(doc, h, msg)) return rc;
    return read_headers(doc, h, msg);
}

}  // namespace vqc

// The rules for a source's own header lines. Each would become part of a
// request line, so nothing is cut or cleaned: a name that is not a token, a
// control byte (a CR or LF would split the request), a line longer than the
// transports send (they would leave it out unsaid) is refused.
#include "source_client/fetch/source_headers.h"

#include <cstring>

#include "common/ascii.h"
#include "http/headers.h"

namespace vqc {

namespace {

constexpr size_t kMaxNameBytes = 127;  // the transports skip longer names

// The headers the fetch or the transport sets itself.
constexpr std::string_view kReserved[] = {"Host", "If-None-Match", "If-Modified-Since", "Accept-Encoding"};

bool holds_control(std::string_view s) {
    for (char c : s)
        if (vq_is_control(c)) return true;
    return false;
}

// A token of at most kMaxNameBytes (an escaped NUL in the settings' JSON
// would cut the name, so the whole length is checked).
bool is_name(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes || name.find('\0') != std::string_view::npos) return false;
    char text[kMaxNameBytes + 1];  // the size is checked above
    std::memcpy(text, name.data(), name.size());
    text[name.size()] = '\0';
    char line[kMaxNameBytes + 3];  // the name, ": " and the NUL
    return quorvex_header_line(text, "", line, sizeof line) == 0;
}

}  // namespace

header_fault source_header_fault(std::string_view name, std::string_view value) {
    if (!is_name(name)) return header_fault::name;
    for (std::string_view own : kReserved)
        if (vq_ieq(name, own)) return header_fault::reserved;
    if (vq_ieq(name, "User-Agent")) return header_fault::user_agent;
    if (holds_control(value)) return header_fault::value;
    return name.size() + 2 + value.size() > kMaxHeaderLine ? header_fault::too_long : header_fault::none;
}

header_fault source_agent_fault(std::string_view value) {
    if (holds_control(value)) return header_fault::value;
    return value.size() > kMaxUserAgent ? header_fault::too_long : header_fault::none;
}

bool private_header(std::string_view name) { return vq_ieq(name, "Authorization") || vq_ieq(name, "Cookie"); }

}  // namespace vqc

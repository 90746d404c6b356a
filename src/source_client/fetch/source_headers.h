// What a source's settings add to the requests of its playlist: a
// User-Agent of its own and further header lines, and the rules a line must
// keep to go out with them.
#pragma once
#include <cstddef>
#include <string_view>

namespace vqc {

// The most header lines a source adds, and the longest line ("Name: value")
// the transports send.
constexpr size_t kMaxSourceHeaders = 32;
constexpr size_t kMaxHeaderLine = 2047;
// "User-Agent: " and the value fill one such line.
constexpr size_t kMaxUserAgent = kMaxHeaderLine - 12;

// Every line "Name: value" keeps to source_header_fault.
struct source_headers {
    const char *user_agent;    // keeps to source_agent_fault; null: the library's own
    const char *const *lines;  // at most kMaxSourceHeaders
    size_t count;
};

enum class header_fault {
    none,
    name,        // not an HTTP token of 1 to 127 bytes
    value,       // holds a control byte
    reserved,    // a header the fetch sets itself
    user_agent,  // "User-Agent": the source's own goes in user_agent
    too_long,    // the line would be longer than kMaxHeaderLine
};

// Why "name: value" may not go out with the fetch's requests, or none.
header_fault source_header_fault(std::string_view name, std::string_view value);
// The same for a User-Agent value (value or too_long).
header_fault source_agent_fault(std::string_view value);

// Whether a header lets whoever receives it act as the user ("Authorization",
// "Cookie", any letter case): it goes only to the origin it was given for.
bool private_header(std::string_view name);

}  // namespace vqc

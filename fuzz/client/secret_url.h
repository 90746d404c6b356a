// A caller's URL with a user, a password and query values in it, and the
// check that no message shows them: the fetch targets build their URLs this
// way around whatever authority and path the input gives.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "source_client/util/url_util.h"

namespace fuzz_secret {

constexpr std::string_view kPassword = "s3cr3tpw";
constexpr std::string_view kToken = "t0k3nval";

// "http://user:<password>@" where, "?token=<token>&x=1". An "@", "?" or "#"
// of where would move the secrets out of the user information and the query,
// so they are left out.
inline std::string url_around(std::string_view where) {
    std::string url = "http://user:" + std::string(kPassword) + "@";
    for (char c : where)
        if (c != '@' && c != '?' && c != '#' && c != '\0') url += c;
    return url + "?token=" + std::string(kToken) + "&x=1";
}

inline size_t occurrences(std::string_view text, std::string_view piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != text.npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// The secrets of url_around may show in msg only where the redacted URL
// shows them itself, as part of a path the input spelt, or where the server
// spelt them (spelt: the texts of its answers that may reach a message), say
// in a Location whose path names them.
inline void require_hidden(const char *msg, const char *url, std::string_view spelt) {
    char shown[512];
    vqc::vqiptv_redact_url(url, shown, sizeof shown);
    for (std::string_view secret : {kPassword, kToken})
        if (occurrences(msg, secret) > occurrences(shown, secret) + occurrences(spelt, secret)) std::abort();
}

}  // namespace fuzz_secret

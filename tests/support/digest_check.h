// Checking an HTTP Digest answer (RFC 2617) the way a server does, for the
// transport tests of both platforms, with the library's MD5.
#pragma once
#include <cstdio>
#include <map>
#include <string>

#include "http/md5.h"
#include "wire_server.h"

inline std::string hex16(const unsigned char d[16]) {
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    return hex;
}

inline std::string md5_hex(const std::string &text) {
    unsigned char d[16];
    quorvex_md5(text.data(), text.size(), d);
    return hex16(d);
}

// The parameters of a Digest authorization value: key=value or key="value",
// comma-separated, after the scheme word.
inline std::map<std::string, std::string> digest_params(std::string v) {
    std::map<std::string, std::string> out;
    v = v.substr(v.find(' ') + 1);
    size_t at = 0;
    while (at < v.size()) {
        size_t eq = v.find('=', at);
        if (eq == v.npos) break;
        std::string key = v.substr(at, eq - at);
        size_t end = v[eq + 1] == '"' ? v.find('"', eq + 2) : v.find(',', eq + 1);
        size_t start = v[eq + 1] == '"' ? eq + 2 : eq + 1;
        out[key] = v.substr(start, end == v.npos ? v.npos : end - start);
        at = end == v.npos ? v.size() : v.find_first_not_of(" ,\"", end);
        if (at == v.npos) break;
    }
    return out;
}

struct digest_secret {
    std::string user, password, realm, nonce;
};

// Whether r carries the Digest answer of s (with qop=auth or without qop),
// recomputed from the request as received.
inline bool digest_valid(const wire_request &r, const digest_secret &s) {
    const std::string auth = r.header("Authorization");
    if (auth.rfind("Digest ", 0) != 0) return false;
    std::map<std::string, std::string> p = digest_params(auth);
    std::string ha1 = md5_hex(s.user + ":" + s.realm + ":" + s.password);
    std::string ha2 = md5_hex(r.method + ":" + p["uri"]);
    std::string nonce = p.count("qop") ? p["nonce"] + ":" + p["nc"] + ":" + p["cnonce"] + ":" + p["qop"] : p["nonce"];
    return p["username"] == s.user && p["realm"] == s.realm && p["nonce"] == s.nonce && p["uri"] == r.target &&
           p["response"] == md5_hex(ha1 + ":" + nonce + ":" + ha2);
}

// Secrets as long as real playlists carry them: 512-byte query tokens, JWTs of
// about 2,200 bytes, and credentials as long; the hop ones for a redirect
// target only. No message may hold even a piece of one.
#pragma once
#include <string>

inline const std::string kToken(512, 'T');
inline const std::string kJwt = "eyJ" + std::string(2197, 'J');
inline const std::string kPassword(2200, 'P');
inline const std::string kHopPassword(512, 'W');
inline const std::string kHopSig(512, 'S');

// Whether text holds the first 16 bytes of any of the secrets.
inline bool holds_a_secret(const std::string &text) {
    for (const std::string *secret : {&kToken, &kJwt, &kPassword, &kHopPassword, &kHopSig})
        if (text.find(secret->substr(0, 16)) != text.npos) return true;
    return false;
}

// One probe's state, shared by the transfer loop (probe_run.cpp) and the
// judgement of each answer (probe_judge.cpp).
#pragma once
#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "probe.h"
#include "sniff.h"
#include "source_client/fetch/url_credentials.h"

namespace vqt {

struct Probe {
    enum class Phase { stream, variant, segment };

    size_t index = 0;
    Stream stream;
    size_t max_bytes = kProbeBytes;
    uint64_t start_ms = 0, deadline_ms = 0;
    vqc::url_credentials credentials{};  // of the stream's URL, for its origin only
    // The request under way.
    std::string at;           // its URL
    Phase phase = Phase::stream;
    int requests = 0;         // in its chain of redirects, itself included
    bool at_origin = true;    // every request so far went to the stream's origin
    bool encrypted = false;   // a segment of AES-128 ciphertext
    CURL *easy = nullptr;
    CURLU *url = nullptr;
    curl_slist *lines = nullptr;
    // What its answer brought.
    size_t read = 0;          // bytes of heads and bodies, all requests together
    std::string location;     // the answer's first "Location"
    bool located = false;
    std::string kept;         // body bytes while undecided, or a playlist
    size_t sniffed = 0;       // kept.size() when last judged
    Sniffed kind = Sniffed::undecided;
    bool over = false;        // the byte limit ended the transfer
    bool media = false;
    uint32_t media_ms = 0;
};

// What comes after an answer: the verdict, or (done false) the next request,
// whose URL, phase and chain count the probe now holds.
struct Next {
    bool done;
    Verdict verdict;
};

// Judges the answer to the probe's request: the transfer's code, the
// answer's status.
Next judge(Probe &p, CURLcode rc, long status);

// The body bytes of a 2xx answer, taken while undecided; marks media.
void take_body(Probe &p, std::string_view bytes, uint64_t now_ms);

}  // namespace vqt

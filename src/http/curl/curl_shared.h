// What the libcurl transport shares with other code of the process that
// speaks HTTP through libcurl itself (the command-line tool's stream probes),
// so that both start libcurl alike, set it up alike and send a URL alike.
#pragma once
#include <curl/curl.h>

// Collects the first failure of a run of curl_easy_setopt calls.
struct quorvex_curl_options {
    CURL *easy;
    CURLcode rc = CURLE_OK;
    template <class T>
    quorvex_curl_options &set(CURLoption opt, T value) {
        if (rc == CURLE_OK) rc = curl_easy_setopt(easy, opt, value);
        return *this;
    }
};

// Starts libcurl once, its allocations going through the allocation seam; a
// failed start is tried again by the next call.
CURLcode quorvex_curl_global_init();

// url parsed into a new handle at *out (null on failure; the caller releases
// it with curl_url_cleanup): path and query as written, with spaces and bytes
// beyond ASCII escaped, and the user information dropped, since only a
// request's own user name and password are credentials.
CURLUcode quorvex_curl_parse_url(const char *url, CURLU **out);

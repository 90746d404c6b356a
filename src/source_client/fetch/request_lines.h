// The header lines of the fetch's requests: If-None-Match and
// If-Modified-Since from the stored validators, the User-Agent (the source's
// or the library's), then the source's own lines, of which "Authorization"
// and "Cookie" go only to the origin of the URL the caller gave.
#pragma once
#include <cstddef>

#include "source_client/fetch/fetch.h"

namespace vqc {

struct validator;

struct request_lines {
    char validators[2][512];
    char agent[kMaxHeaderLine + 1];
    const char *own[3];  // the fetch's own lines that could be formed
    size_t own_count;
    const source_headers *source;
    const char *all[3 + kMaxSourceHeaders];  // the lines of the next request
};

// Forms the fetch's own lines (a line that cannot be formed is left out:
// an ETag over 496 bytes, a Last-Modified over 492) and keeps source.
void lines_prepare(request_lines &l, const validator *stored, const source_headers *source);
// Fills l.all for a request at the caller's origin or elsewhere; the count.
size_t lines_for(request_lines &l, bool at_origin);

}  // namespace vqc

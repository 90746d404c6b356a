// Helpers shared by the HTTP layer's own source files (not part of its offered
// interface).
#pragma once
#include <cstddef>

#include "quorvex_iptv.h"

namespace qvh {
// The value of the first request header line named `name` (case folded),
// moved past any of the characters in `skip`; null when there is none.
const char *req_header(const quorvex_http_req *req, const char *name, const char *skip);
// A transport record that may be called: size >= 32, version 1, request set.
bool http_usable(const quorvex_http *http);
// Hands a heap copy of text out through err (when err is set); answers -1.
int fail(char **err, const char *text);
}  // namespace qvh

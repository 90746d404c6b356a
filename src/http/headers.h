// Methods, request header lines and response header pairs.
#pragma once
#include <cstddef>

#include "http/buf.h"
#include "quorvex_iptv.h"

int quorvex_method_ok(const char *m);
int quorvex_header_line(const char *name, const char *value, char *out, size_t size);
const char *quorvex_header_get(const quorvex_http_req *req, const char *name);
// list: a header-pairs buffer ("name\0value\0" back to back).
const char *quorvex_hdrs_get(const quorvex_buf *list, const char *name);

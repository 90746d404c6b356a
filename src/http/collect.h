// A response collector for a request's sinks, and a ranged GET into one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "http/buf.h"
#include "quorvex_iptv.h"

struct quorvex_collect {
    quorvex_buf body;
    quorvex_buf headers;
    int32_t status;
    uint64_t limit;
    int32_t truncated;
};
void quorvex_collect_init(quorvex_collect *col, uint64_t limit);
void quorvex_collect_free(quorvex_collect *col);
int quorvex_collect_body(void *col, const void *data, size_t n);
int quorvex_collect_header(void *col, const char *name, const char *value);
int quorvex_http_range(const quorvex_http *http, const char *url, int64_t first, int64_t last,
                       quorvex_collect *col, int *status, char **err);

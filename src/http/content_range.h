// Content-Range values.
#pragma once
#include <cstdint>

int quorvex_content_range(const char *text, int64_t *first, int64_t *last, int64_t *total);

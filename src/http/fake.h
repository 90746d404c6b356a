// Scripting the fake transport (quorvex_http_fake in transports.h): its
// routes, answers and failures, and what it was asked.
#pragma once
#include <cstddef>

int quorvex_fake_set(const char *method, const char *url, int status, const char *headers, const void *body,
                     size_t body_len);
int quorvex_fake_file(const char *url, const void *data, size_t size, int ranges);
int quorvex_fake_drip(const char *url, int status, const void *data, size_t size, int chunks);
int quorvex_fake_fail(const char *method, const char *url, const char *message);
void quorvex_fake_reset();
int quorvex_fake_calls(const char *method, const char *url);
int quorvex_fake_calls_method(const char *method);
int quorvex_fake_writes_sent();
// The description of the last request the calling thread made through the
// fake (null before its first and after its reset), valid until that thread's
// next request or reset.
const char *quorvex_fake_last_request();

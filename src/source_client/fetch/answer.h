// What one answer to the fetch delivered, as the transport's sinks hand it
// over: the status, the validators, the first "Location" and the body. The
// sinks also stop an answer that goes on past the fetch's deadline.
#pragma once
#include <cstddef>
#include <cstdint>

#include "source_client/fetch/body.h"

namespace vqc {

struct fetch_answer {
    int status;              // from ":status"; -1 until it arrives
    char *etag;
    char *last_modified;
    size_t validator_bytes;  // what the validators took of their 4096 bytes
    char *location;          // the first "Location", at most kMaxUrlBytes
    bool location_too_long;  // the first "Location" was longer
    body_in body;
    bool out_of_memory;      // a header could not be kept
    uint64_t deadline_ms;    // the fetch's (vqp::now_ms), kept across answers
    bool late;               // a sink was called past it
};

// Releases what the answer holds for the next one; the deadline stays.
void answer_clear(fetch_answer &a);

// The request's sinks; user is the fetch_answer.
int answer_header(void *user, const char *name, const char *value);
int answer_body(void *user, const void *data, size_t n);

}  // namespace vqc

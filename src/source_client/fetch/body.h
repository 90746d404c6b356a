// The body of one answer as the fetch receives it: kept in one shared buffer
// (the one the validator store, the cache and the model go on to share), a
// body that is itself a gzip file inflated on the way in, and held to
// kMaxBodyBytes both as received and as decoded, so that a small file that
// inflates without end stops at the limit like any other body.
#pragma once
#include <cstddef>

#include "common/shared_buf.h"

namespace vqc {

struct gunzip;

struct body_in {
    shared_buf *buf;   // the decoded bytes; null until the first is kept
    size_t expected;   // the length the answer announced (0: none), capped at the limit + 1
    bool encoded;      // it came with a Content-Encoding: expected counts encoded bytes
    size_t received;   // bytes as they arrived
    // The first byte waits for the second: the two of them tell a gzip file.
    unsigned char lead;
    bool has_lead;
    bool sniffed;
    gunzip *gz;  // set when the body is a gzip file
    bool too_large;
    bool out_of_memory;
    bool corrupt;  // a gzip file that does not inflate
};

// Takes the next n bytes; 0 to go on, 1 to stop (the flags say why).
int body_take(body_in &b, const void *data, size_t n);
// Once the answer is over: false when a gzip file ended short of its end
// (then corrupt is set). A single byte held back joins the body here, and the
// buffer is trimmed to the body.
bool body_finish(body_in &b);
size_t body_len(const body_in &b);
// Releases everything and makes b as new.
void body_clear(body_in &b);

}  // namespace vqc

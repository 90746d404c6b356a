// How every operation hands back its outcome: one JSON document copied into the
// caller's buffer and kept in g_result, a status, and the last error text.
// The document and the error text are the calling thread's own: another
// thread's operation neither changes nor frees them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/json.h"
#include "platform/platform.h"

namespace vqc {

// Serialises every handler operation and the cache and statistics exports.
extern vqp::Lock g_lock;

// Formats into the last-error text (512 bytes), nothing else.
void set_err(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Produces the error document {"error": message}, counts one error and returns
// status unchanged.
int32_t fail(int32_t status, char *out, int32_t out_len, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));

// Serialises doc and delivers it: 0, -5 (cannot serialise) or -9 (buffer too
// small). The caller's document is released by its own destructor.
int32_t emit_doc(const vqjson::Value &doc, char *out, int32_t out_len);

// Delivers a document already written (len bytes and a NUL, a block from the
// allocation seam), which it takes over and keeps: 0, -5 (text null, or no
// room to keep it: "out of memory") or -9 (buffer too small). emit_doc ends in
// it.
int32_t emit_text(char *text, size_t len, char *out, int32_t out_len);

// The texts behind vqiptv_last_error and vqiptv_result_json: the calling
// thread's, valid until its next operation or its end.
const char *last_error_text();
const char *result_text();

}  // namespace vqc

// An immutable, reference-counted byte buffer: a playlist body is held once and
// shared by whoever needs it (the fetch's validator store, the cache's change
// detection, the channel model, the fake transport's routes) instead of being
// copied for each. Its maker fills it while it holds the only reference; from
// the first sbuf_ref on, nobody changes it. The bytes are always followed by a
// NUL. References may be taken and dropped from any thread.
#pragma once
#include <cstddef>

struct shared_buf;

// Makes *b (null: a new buffer) hold room for cap bytes in all, its NUL
// included (cap > its length); false when memory is short, *b unchanged.
// Only while the caller holds the only reference.
bool sbuf_reserve(shared_buf **b, size_t cap);
// Appends n bytes within the room reserved (length + n < capacity).
void sbuf_append(shared_buf *b, const void *data, size_t n);
// A new buffer holding a copy of n bytes; null when memory is short.
shared_buf *sbuf_copy(const void *data, size_t n);

const char *sbuf_data(const shared_buf *b);
size_t sbuf_len(const shared_buf *b);
size_t sbuf_cap(const shared_buf *b);

// Another reference to b (null stays null).
shared_buf *sbuf_ref(shared_buf *b);
// Drops a reference; the last one frees the buffer. Null is ignored.
void sbuf_unref(shared_buf *b);
// The same for callers that hold the buffer as an untyped owner.
void sbuf_unref_any(void *b);

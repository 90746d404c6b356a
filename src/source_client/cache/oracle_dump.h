// The oracle dump: a playlist text converted without network or cache, its
// channels listed as "name\tlocation\n" lines to compare with another reader.
#pragma once
#include <cstddef>

namespace vqc {

struct playlist;

// Converts a copy of text (null: empty) as the cache converts a body: 0, or
// a negative status with the reason in msg (size bytes), left empty when
// the copy itself cannot be made. Runs the parser engine, so the caller holds
// g_lock.
int oracle_convert(const char *text, playlist **out, char *msg, size_t size);
// Every channel of p as "name\tlocation\n"; release with vq_free. Null when
// memory runs out.
char *dump_channels(const playlist *p);

}  // namespace vqc

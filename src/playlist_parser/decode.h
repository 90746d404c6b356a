// Turning playlist bytes into the UTF-8 decoded text of the parser state.
#pragma once
#include <cstddef>

namespace vqplp {

// Decodes len >= 1 bytes into g_vq.decoded_text/decoded_len. name may be null
// or "" (automatic: byte-order marks, then UTF-8, then legacy fallbacks with a
// warning). Returns 0, 1 (error text set, no text kept) or 6 (out of memory).
int decode_to_utf8(const unsigned char *bytes, size_t len, const char *name);

// Takes over bytes (a vq_malloc'ed block of len >= 1 bytes and a NUL after
// them): kept as the decoded text when it already is UTF-8 without a UTF-16
// mark, else decoded as by decode_to_utf8 without a name and released.
int decode_owned(char *bytes, size_t len);

// Stores a new empty decoded text: 0 or 6.
int decode_empty();

}  // namespace vqplp

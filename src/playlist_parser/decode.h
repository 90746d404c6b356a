// Turning playlist bytes into the UTF-8 decoded text of the parser state.
#pragma once
#include <cstddef>

namespace vqplp {

// Decodes len >= 1 bytes into g_vq.decoded_text/decoded_len. name may be null
// or "" (automatic: byte-order marks, then UTF-8, then legacy fallbacks with a
// warning). Returns 0, 1 (error text set, no text kept) or 6 (out of memory).
int decode_to_utf8(const unsigned char *bytes, size_t len, const char *name);

// Reads len >= 1 caller's bytes in place (the decoded text then points into
// them, past a UTF-8 mark) when they already are UTF-8 without a UTF-16 mark;
// otherwise decodes them as decode_to_utf8 does without a name.
int decode_borrowed(const char *bytes, size_t len);

// Stores a new empty decoded text: 0 or 6.
int decode_empty();

}  // namespace vqplp

// Keeps credentials and query values out of a transport's failure text before
// it becomes an error message: a transport may quote any URL it was given,
// credentials and tokens included, and tokens run to thousands of bytes.
#pragma once
#include <cstddef>

namespace vqc {

// Writes into out (cap bytes, the text cut there) the transport's text (null:
// "transport failure") with the URL last asked for, urls[count - 1], shown as
// shown_url, and every user information, password, query and query value of
// each of the urls, and each of the secret_count texts at secrets (null ones
// skipped: the decoded credentials the transport was handed), shown as
// "<redacted>", whatever their length. The text is read once: at each place
// the longest of those pieces that starts there is replaced, and nothing
// written is looked at again.
void scrub_failure(const char *text, const char *const *urls, size_t count, const char *shown_url,
                   const char *const *secrets, size_t secret_count, char *out, size_t cap);

}  // namespace vqc

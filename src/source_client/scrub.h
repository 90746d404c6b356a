// Keeps credentials and query values of a URL out of a transport's failure
// text before it becomes an error message.
#pragma once

constexpr unsigned kScrubCap = 256;  // texts are cut at 255 bytes

// Writes into out (kScrubCap bytes) text with every occurrence of from replaced
// by to; an empty from copies text.
void replace_all(const char *text, const char *from, const char *to, char *out);

// Writes into out (kScrubCap bytes) the transport's text (null: "transport
// failure") with the URL asked for (current_url) shown as shown_url, and its
// user information, password, query and each query value shown as
// "<redacted>".
void scrub_failure(const char *text, const char *current_url, const char *shown_url, char *out);

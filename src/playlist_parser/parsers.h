// The format parsers and the detection helpers they share. Each parser reads
// the decoded text through views and appends to the parser state; each returns
// 0, 3 (M3U only) or 6.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vqplp {

int parse_m3u(const char *text, size_t len, bool has_nul);
int parse_cue(const char *text, size_t len, bool has_nul);
int parse_streaming_list(const char *text, size_t len, bool has_nul);

// 1 when the first 64 KiB hold an HLS tag, else 0.
int looks_hls(const char *text, size_t len);
// Format code of a decoded text (0 to 4).
int32_t sniff(const char *text, size_t len);

}  // namespace vqplp

// Bodies of the handler table's operations; each runs with g_lock held and ends
// in exactly one emit_doc, emit_text or fail.
#pragma once
#include <cstddef>
#include <cstdint>

#include "quorvex_iptv.h"

namespace vqc {

int32_t op_validate(const quorvex_io *io, const char *settings_json, char *out, int32_t out_len);
// A root listing up to this size is kept with its cached playlist, so that a
// cache hit copies it; four cached playlists hold at most 4 MiB of them. A
// bigger root (some ten thousand groups) is written again for each listing.
constexpr size_t kMaxKeptRoot = size_t{1} << 20;

int32_t op_list(const quorvex_io *io, const char *settings_json, const char *path, char *out, int32_t out_len);
int32_t op_stream_url(const quorvex_io *io, const char *settings_json, const char *entry_json, char *out,
                      int32_t out_len);

}  // namespace vqc

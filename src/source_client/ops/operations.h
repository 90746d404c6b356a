// Bodies of the handler table's operations; each runs with g_lock held and ends
// in exactly one emit_doc or fail.
#pragma once
#include <cstdint>

#include "quorvex_iptv.h"

namespace vqc {

int32_t op_validate(const quorvex_io *io, const char *settings_json, char *out, int32_t out_len);
int32_t op_list(const quorvex_io *io, const char *settings_json, const char *path, char *out, int32_t out_len);
int32_t op_stream_url(const quorvex_io *io, const char *settings_json, const char *entry_json, char *out,
                      int32_t out_len);

}  // namespace vqc

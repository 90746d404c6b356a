// The tool's own I/O record: a transport wrapping the network transport that
// counts the body bytes passing through and, when given a terminal, shows
// them with the rate while a download runs.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "quorvex_iptv.h"

namespace vqt {

// Binds the one metered record to inner and answers the I/O record to
// install with vqiptv_set_io. out: where progress goes, or null to count only.
const quorvex_io *metered_io(const quorvex_http *inner, FILE *out);

// Body bytes counted since metered_io was called.
uint64_t metered_bytes();

// "512 B", "1.4 KiB", "12.0 MiB".
std::string human_bytes(double n);

}  // namespace vqt

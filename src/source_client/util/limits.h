// The sizes the source client refuses to go beyond, shared by the rooms that
// check them where the input comes in.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vqc {

// The longest URL the library takes anywhere, in bytes: the settings' "URL",
// an entry's "stream_url" or "url", every redirect target. Stream URLs carry
// tokens of 2 to 3 KB; a longer URL is refused with a message, never cut.
constexpr size_t kMaxUrlBytes = 16384;

// The largest playlist body the fetch receives and the model converts.
constexpr uint64_t kMaxBodyBytes = 67108864;  // 64 MiB

}  // namespace vqc

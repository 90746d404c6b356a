// A gzip file inflated piece by piece as it arrives (zlib), its members one
// after another as gzip(1) reads them, every run of decoded bytes handed to a
// sink at once: nothing but the decoded text is ever held.
#pragma once
#include <cstddef>

namespace vqc {

// The first two bytes of every gzip file.
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};

struct gunzip;

// A new inflater, or null when memory is short.
gunzip *gunzip_new();
void gunzip_free(gunzip *g);

enum class gunzip_status {
    more,           // everything fed was inflated; more may follow
    stopped,        // the sink answered non-zero
    corrupt,        // not gzip, or a member that does not check out
    out_of_memory,  // zlib could not have its window
};

// Inflates the n bytes at data, handing each decoded run to sink(user, bytes,
// count) (0: go on).
gunzip_status gunzip_feed(gunzip *g, const void *data, size_t n, int (*sink)(void *, const void *, size_t),
                          void *user);
// Whether everything fed ends where a member ends (not cut short).
bool gunzip_whole(const gunzip *g);

}  // namespace vqc

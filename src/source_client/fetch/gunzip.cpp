// Inflating a gzip body with zlib. Its blocks come from the allocation seam
// like every other, so a shortage inside zlib is an out-of-memory failure the
// tests can provoke. Decoded bytes pass through one fixed block of kChunk
// bytes: zlib writes at most avail_out into it.
#include "source_client/fetch/gunzip.h"

#include <zlib.h>

#include "common/alloc.h"

namespace vqc {

namespace {
constexpr size_t kChunk = 65536;
constexpr int kGzipWindow = 15 + 16;  // the largest window, gzip wrapper only

void *z_alloc(void *, uInt items, uInt size) { return vq_calloc(items, size); }
void z_free(void *, void *p) { vq_free(p); }
}  // namespace

struct gunzip {
    z_stream z;
    bool in_member;  // a member began and its end was not seen yet
    unsigned char out[kChunk];
};

gunzip *gunzip_new() {
    auto *g = static_cast<gunzip *>(vq_calloc(1, sizeof(gunzip)));
    if (!g) return nullptr;
    g->z.zalloc = z_alloc;
    g->z.zfree = z_free;
    if (inflateInit2(&g->z, kGzipWindow) == Z_OK) return g;
    vq_free(g);
    return nullptr;
}

void gunzip_free(gunzip *g) {
    if (!g) return;
    inflateEnd(&g->z);
    vq_free(g);
}

gunzip_status gunzip_feed(gunzip *g, const void *data, size_t n, int (*sink)(void *, const void *, size_t),
                          void *user) {
    z_stream &z = g->z;
    z.next_in = static_cast<Bytef *>(const_cast<void *>(data));
    z.avail_in = static_cast<uInt>(n);  // the fetch feeds at most its body limit
    for (;;) {
        z.next_out = g->out;
        z.avail_out = kChunk;
        int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_MEM_ERROR) return gunzip_status::out_of_memory;
        size_t made = kChunk - z.avail_out;
        // No progress with input left is as good as a broken stream.
        if (rc == Z_BUF_ERROR && made == 0 && z.avail_in) return gunzip_status::corrupt;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return gunzip_status::corrupt;
        g->in_member = rc != Z_STREAM_END;
        if (made && sink(user, g->out, made) != 0) return gunzip_status::stopped;
        // The next member, if any, starts right after the end of this one.
        if (rc == Z_STREAM_END && z.avail_in && inflateReset(&z) != Z_OK) return gunzip_status::corrupt;
        if (z.avail_in == 0 && z.avail_out != 0) return gunzip_status::more;
    }
}

bool gunzip_whole(const gunzip *g) { return !g->in_member; }

}  // namespace vqc

// Texts as gzip files for the tests of compressed answers: made with zlib at
// test time, so that no binary sample sits in the tree. Programs that include
// it link zlib (the library's objects bring it).
#pragma once
#include <zlib.h>

#include <string>

// text as one gzip member.
inline std::string gzip_text(const std::string &text, int level = Z_BEST_SPEED) {
    z_stream z{};
    std::string out;
    if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return out;
    out.resize(deflateBound(&z, static_cast<uLong>(text.size())));
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    out.resize(rc == Z_STREAM_END ? z.total_out : 0);
    deflateEnd(&z);
    return out;
}

// n zero bytes as one gzip member, made a mebibyte at a time: a bomb of a
// gibibyte is about a mebibyte.
inline std::string gzip_zeros(size_t n) {
    z_stream z{};
    std::string out;
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return out;
    const std::string zeros(1 << 20, '\0');
    char buf[1 << 16];
    for (size_t left = n;;) {
        size_t take = left < zeros.size() ? left : zeros.size();
        left -= take;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.data()));
        z.avail_in = static_cast<uInt>(take);
        int flush = left ? Z_NO_FLUSH : Z_FINISH;
        int rc;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buf);
            z.avail_out = sizeof buf;
            rc = deflate(&z, flush);
            out.append(buf, sizeof buf - z.avail_out);
        } while (z.avail_out == 0);
        if (!left || rc == Z_STREAM_ERROR) break;
    }
    deflateEnd(&z);
    return out;
}

// The engine's front door: parse from memory or from a file, or only detect.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "playlist_parser/decode.h"
#include "playlist_parser/parsers.h"
#include "playlist_parser/state.h"
#include "playlist_parser/vqplp.h"

namespace vqplp {

namespace {

int decode_input(const void *bytes, size_t len, const char *charset) {
    if (!bytes || len == 0) return decode_empty();
    return decode_to_utf8(static_cast<const unsigned char *>(bytes), len, charset);
}

int run_parser(int32_t format) {
    const char *text = g_vq.decoded_text;
    size_t len = g_vq.decoded_len;
    bool nul = g_vq.decoded_has_nul;
    switch (format) {
        case VQPLP_FMT_M3U:
            return parse_m3u(text, len, nul);
        case VQPLP_FMT_HLS:
            set_error("HLS manifest detected; not parsed as playlist items");
            return VQPLP_E_FORMAT;
        case VQPLP_FMT_STREAMING_LIST:
            return parse_streaming_list(text, len, nul);
        case VQPLP_FMT_CUE:
            return parse_cue(text, len, nul);
        default:
            set_error("unknown playlist format");
            return VQPLP_E_FORMAT;
    }
}

// The parsers read the decoded text in place (it is never written to), so no
// private copy of it is made.
int parse_decoded(int32_t format) {
    if (format == VQPLP_FMT_AUTO) format = sniff(g_vq.decoded_text, g_vq.decoded_len);
    g_vq.detected_format = format;
    // Most of a playlist's bytes end up as item strings, unless a sink takes
    // the entries; what is left over is given back once the parser is done.
    bool keeps_entries = format == VQPLP_FMT_CUE || (!g_vq.sink && (format == VQPLP_FMT_M3U ||
                                                                    format == VQPLP_FMT_STREAMING_LIST));
    if (keeps_entries) arena_reserve(g_vq.decoded_len + 64);
    int rc = run_parser(format);
    arena_shrink();
    return rc;
}

int do_parse(const void *bytes, size_t len, int32_t format, const char *charset) {
    vqplp_clear();
    if (!bytes && len != 0) {
        set_error("null text");
        return VQPLP_E_ARG;
    }
    int rc = decode_input(bytes, len, charset);
    return rc == VQPLP_OK ? parse_decoded(format) : rc;
}

int parse_borrowed(const char *bytes, size_t len, int32_t format, const vqplp_sink *sink) {
    vqplp_clear();
    g_vq.sink = sink;
    int rc = !bytes || len == 0 ? decode_empty() : decode_borrowed(bytes, len);
    if (rc == VQPLP_OK) rc = parse_decoded(format);
    g_vq.sink = nullptr;
    return rc;
}

// Reads a whole file into a new NUL-terminated block; 0, or a status with the
// error text set (none for 6).
int read_file(const char *path, char **data, size_t *len) {
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        set_error("io: %s", std::strerror(errno));
        return VQPLP_E_IO;
    }
    int rc = VQPLP_OK;
    long size = 0;
    if (std::fseek(f, 0, SEEK_END) != 0) {
        set_error("seek");
        rc = VQPLP_E_IO;
    } else if ((size = std::ftell(f)) < 0 || size > INT32_MAX) {
        set_error("tell");
        rc = VQPLP_E_IO;
    } else if (std::fseek(f, 0, SEEK_SET) != 0 || !(*data = static_cast<char *>(vq_malloc(size + 1)))) {
        rc = VQPLP_E_NOMEM;
    } else {
        *len = std::fread(*data, 1, static_cast<size_t>(size), f);
        (*data)[*len] = '\0';
    }
    std::fclose(f);
    return rc;
}

}  // namespace

}  // namespace vqplp

using namespace vqplp;

int32_t vqplp_parse(const void *bytes, size_t len, int32_t format) { return do_parse(bytes, len, format, nullptr); }

int32_t vqplp_parse_borrowed(const char *bytes, size_t len, int32_t format) {
    return parse_borrowed(bytes, len, format, nullptr);
}

int32_t vqplp_parse_borrowed_each(const char *bytes, size_t len, const vqplp_sink &sink) {
    return parse_borrowed(bytes, len, VQPLP_FMT_AUTO, &sink);
}

int32_t vqplp_parse_enc(const void *bytes, size_t len, int32_t format, const char *charset) {
    return do_parse(bytes, len, format, charset);
}

int32_t vqplp_parse_file(const char *path) { return vqplp_parse_file_enc(path, nullptr); }

int32_t vqplp_parse_file_enc(const char *path, const char *charset) {
    if (!path) {
        set_error("null path");
        return VQPLP_E_ARG;
    }
    char *data = nullptr;
    size_t len = 0;
    int rc = read_file(path, &data, &len);
    if (rc != VQPLP_OK) return rc;
    rc = do_parse(data, len, VQPLP_FMT_AUTO, charset);
    vq_free(data);
    return rc;
}

int32_t vqplp_detect(const void *bytes, size_t len) {
    if (!bytes) return VQPLP_FMT_UNKNOWN;
    vq_free(g_vq.decoded_block);
    g_vq.decoded_block = nullptr;
    g_vq.decoded_text = nullptr;
    g_vq.decoded_len = 0;
    g_vq.decoded_strict = false;
    if (decode_input(bytes, len, nullptr) != VQPLP_OK) return VQPLP_FMT_UNKNOWN;
    return sniff(g_vq.decoded_text, g_vq.decoded_len);
}

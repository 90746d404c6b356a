#include "source_client/results.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "source_client/cache.h"

vqp::Lock g_lock;

namespace {
char g_err[512];
char *g_result;

void keep_result(char *text) {
    vq_free(g_result);
    g_result = text;
}

// Bad bytes become "?" one by one, so the length never changes.
void repair_utf8(char *s) {
    size_t n = std::strlen(s);
    for (size_t i = 0; i < n;) {
        int k = utf8_seq(reinterpret_cast<unsigned char *>(s + i), n - i);
        if (k == 0) {
            s[i++] = '?';
        } else {
            i += static_cast<size_t>(k);
        }
    }
}

// Copies text with its NUL when it fits; otherwise leaves an empty text.
bool deliver(const char *text, size_t len, char *out, int32_t out_len) {
    if (!out || out_len <= 0) return false;
    if (text && static_cast<uint64_t>(out_len) >= len + 1) {
        std::memcpy(out, text, len + 1);
        return true;
    }
    out[0] = '\0';
    return false;
}

char *error_document(const char *message, size_t *len) {
    vqjson::Doc doc(rapidjson::kObjectType);
    char *text = nullptr;
    auto add = [&] { doc.AddMember("error", vqjson::str(message, doc), doc.GetAllocator()); };
    if (vqjson::build(add) != vqjson::kOk) return nullptr;
    if (vqjson::write_compact(doc, &text, len) != vqjson::kOk) return nullptr;
    return text;
}

bool in_range(unsigned char c, unsigned char lo, unsigned char hi) { return c >= lo && c <= hi; }
}  // namespace

int utf8_seq(const unsigned char *p, size_t left) {
    if (left == 0) return 0;
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (in_range(c, 0xC2, 0xDF)) {
        len = 2;
    } else if (in_range(c, 0xE0, 0xEF)) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (in_range(c, 0xF0, 0xF4)) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < static_cast<size_t>(len) || !in_range(p[1], lo, hi)) return 0;
    for (int i = 2; i < len; ++i) {
        if (!in_range(p[i], 0x80, 0xBF)) return 0;
    }
    return len;
}

void set_err(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(g_err, sizeof g_err, fmt, ap);
    va_end(ap);
}

int32_t fail(int32_t status, char *out, int32_t out_len, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(g_err, sizeof g_err, fmt, ap);
    va_end(ap);
    repair_utf8(g_err);
    vqiptv_count_error();
    size_t len = 0;
    keep_result(error_document(g_err, &len));
    deliver(g_result, len, out, out_len);
    return status;
}

int32_t emit_doc(const vqjson::Value &doc, char *out, int32_t out_len) {
    char *text = nullptr;
    size_t len = 0;
    if (vqjson::write_compact(doc, &text, &len) != vqjson::kOk) {
        set_err("out of memory");
        keep_result(nullptr);
        return QVX_E_CONTENT;
    }
    keep_result(text);
    if (deliver(text, len, out, out_len)) {
        g_err[0] = '\0';
        return QVX_OK;
    }
    set_err("output buffer too small: need %lu bytes", static_cast<unsigned long>(len + 1));
    return QVX_E_BUFFER_TOO_SMALL;
}

const char *last_error_text() { return g_err; }

const char *result_text() { return g_result ? g_result : ""; }

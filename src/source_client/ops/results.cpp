#include "source_client/ops/results.h"

#include <cstdarg>
#include <cstring>

#include "common/thread_text.h"
#include "common/utf8.h"
#include "quorvex_iptv.h"
#include "source_client/cache/cache.h"
#include "source_client/util/message.h"

namespace vqc {

vqp::Lock g_lock;

namespace {
// Each host thread reads the outcome of its own last operation, whatever other
// threads run meanwhile; a thread that has run none reads empty texts.
thread_local char g_err[512];
constexpr vq_thread_text g_result{kResultDocumentSlot};

bool keep_result(char *text) { return g_result.keep(text); }

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
}  // namespace

void set_err(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsay(g_err, sizeof g_err, QVX_OK, fmt, ap);
    va_end(ap);
}

int32_t fail(int32_t status, char *out, int32_t out_len, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsay(g_err, sizeof g_err, status, fmt, ap);
    va_end(ap);
    vq_utf8_repair(g_err, std::strlen(g_err));
    vqiptv_count_error();
    size_t len = 0;
    keep_result(error_document(g_err, &len));
    deliver(g_result.get(), len, out, out_len);
    return status;
}

int32_t emit_doc(const vqjson::Value &doc, char *out, int32_t out_len) {
    char *text = nullptr;
    size_t len = 0;
    vqjson::write_compact(doc, &text, &len);  // text stays null when it fails
    return emit_text(text, len, out, out_len);
}

int32_t emit_text(char *text, size_t len, char *out, int32_t out_len) {
    if (!text || !keep_result(text)) {
        set_err("out of memory");
        keep_result(nullptr);
        return QVX_E_CONTENT;
    }
    if (deliver(text, len, out, out_len)) {
        g_err[0] = '\0';
        return QVX_OK;
    }
    set_err("output buffer too small: need %lu bytes", static_cast<unsigned long>(len + 1));
    return QVX_E_BUFFER_TOO_SMALL;
}

const char *last_error_text() { return g_err; }

const char *result_text() { return g_result.get() ? g_result.get() : ""; }

}  // namespace vqc

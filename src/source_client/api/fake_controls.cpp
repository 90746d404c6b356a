#include <cstring>

#include "http/fake.h"
#include "source_client/api/io_select.h"

// The host scripts GET routes only: that is the one method the client sends.

void vqiptv_fake_reset(void) { quorvex_fake_reset(); }

int32_t vqiptv_fake_set(const char *url, int32_t status, const char *body) {
    if (!url || !body) return QVX_E_INVALID;
    int r = quorvex_fake_set("GET", url, status, nullptr, body, std::strlen(body));
    return r == 0 ? QVX_OK : QVX_E_CONTENT;
}

int32_t vqiptv_fake_fail(const char *url, const char *message) {
    if (!url) return QVX_E_INVALID;
    return quorvex_fake_fail("GET", url, message) == 0 ? QVX_OK : QVX_E_CONTENT;
}

int32_t vqiptv_fake_calls(const char *url) {
    vqp::Guard tl(vqc::g_tl);
    return url ? quorvex_fake_calls("GET", url) : quorvex_fake_calls(nullptr, nullptr);
}

int vqc::vqiptv_fake_total_calls() {
    vqp::Guard tl(g_tl);
    return quorvex_fake_calls_method(nullptr);
}

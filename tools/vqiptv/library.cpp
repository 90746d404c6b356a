#include "library.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvex_iptv.h"

namespace vqt {

int32_t stated_size(const std::string &message) {
    size_t at = message.find("need ");
    if (at == std::string::npos) return 0;
    unsigned long long n = std::strtoull(message.c_str() + at + 5, nullptr, 10);
    return n > 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : 0;
}

Answer call_sized(const Operation &op, int32_t first) {
    std::vector<char> buf(static_cast<size_t>(first));
    Answer a;
    a.status = op(buf.data(), first);
    if (a.status == QVX_E_BUFFER_TOO_SMALL) {
        int32_t need = stated_size(vqiptv_last_error());
        if (need > 0) {
            buf.assign(static_cast<size_t>(need), '\0');
            a.status = op(buf.data(), need);
        }
    }
    a.error = vqiptv_last_error();
    // A failure's document may not have fitted: the library keeps the whole text.
    a.doc = a.ok() ? std::string(buf.data()) : std::string(vqiptv_result_json());
    return a;
}

Answer lib_validate(const std::string &settings) {
    return call_sized([&](char *out, int32_t n) { return vqiptv_validate(settings.c_str(), out, n); });
}

Answer lib_list(const std::string &settings, const std::string &path) {
    return call_sized([&](char *out, int32_t n) { return vqiptv_list(settings.c_str(), path.c_str(), out, n); });
}

Answer lib_stream_url(const std::string &settings, const std::string &entry) {
    return call_sized(
        [&](char *out, int32_t n) { return vqiptv_stream_url(settings.c_str(), entry.c_str(), out, n); });
}

int exit_for_status(int32_t status) {
    switch (status) {
        case QVX_OK: return kExitOk;
        case QVX_E_ACCESS: return kExitRefused;
        case QVX_E_NOT_FOUND: return kExitNotFound;
        case QVX_E_RATE_LIMITED: return kExitRateLimited;
        case QVX_E_NETWORK: return kExitNetwork;
        case QVX_E_CONTENT: return kExitContent;
        case QVX_E_UNSUPPORTED: return kExitUnsupported;
        case QVX_E_INVALID: return kExitInvalid;
        default: return kExitFailure;
    }
}

}  // namespace vqt

// The settings members that shape a source's playlist requests: "UserAgent"
// (a string) and "Headers" (an object of header name to string value), read
// strictly and formatted once for the fetch.
#pragma once
#include "common/json.h"
#include "source_client/fetch/fetch.h"

namespace vqc {

// The header lines of one settings document, owned.
struct settings_headers {
    source_headers fetch{};  // what the fetch is handed; its lines point into block
    const char *lines[kMaxSourceHeaders]{};
    char *block = nullptr;   // "Name: value" NUL-terminated, back to back
    settings_headers() = default;
    settings_headers(const settings_headers &) = delete;
    settings_headers &operator=(const settings_headers &) = delete;
    ~settings_headers();
};

// Reads the "UserAgent" and "Headers" of the settings object doc into h: 0,
// -8 with the reason in msg (kMsgSize bytes), or -5 "out of memory". Absent
// or null members, and an empty "UserAgent", leave the library's own.
int read_settings_headers(const vqjson::Value &doc, settings_headers &h, char *msg);

}  // namespace vqc

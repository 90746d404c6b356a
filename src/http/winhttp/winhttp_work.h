// Pieces of the WinHTTP transport shared by its source files: the per-request
// work record and the conversions between the library's UTF-8 and WinHTTP's
// UTF-16.
#pragma once
#include <windows.h>
#include <winhttp.h>

#include <cstddef>

#include "http/buf.h"
#include "quorvex_iptv.h"

// Everything one request acquires; released on every way out of a request.
struct wwork {
    HINTERNET hsession;
    HINTERNET hconnect;
    HINTERNET hrequest;
    wchar_t *wurl;
    wchar_t *whost;
    wchar_t *wpath;
    wchar_t *wmethod;
    wchar_t *wheaders;  // the header block sent with the request, or null
};

namespace qvw {
// New UTF-16 copy of a NUL-terminated UTF-8 text in *out; 0, or -1.
int utf8_to_utf16(const char *text, wchar_t **out);
// New NUL-terminated UTF-8 text of the first n units; null when n is 0 or the
// conversion fails.
char *utf16_to_utf8n(const wchar_t *text, size_t n);
// Builds w->wheaders from the request's lines (null when nothing is sent); 0,
// or -1 when the block cannot be converted or memory runs out.
int wwork_headers(wwork *w, const quorvex_http_req *req);
// Parses a raw CRLF header block of `units` UTF-16 units into a header-pairs
// list, status line skipped; 0, or -1 (the list is then empty).
int parse_raw_headers(const wchar_t *block, size_t units, quorvex_buf *list);
}  // namespace qvw

#include "http/transports.h"

// This build has no WinHTTP; the network transport is libcurl.
const quorvex_http *quorvex_http_winhttp() { return nullptr; }

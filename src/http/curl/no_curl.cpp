#include "http/transports.h"

// On Windows the network transport is WinHTTP; there is no libcurl.
const quorvex_http *quorvex_http_curl() { return nullptr; }

#include "http/http.h"

// Placeholder until the libcurl transport lands.
const quorvex_http *quorvex_http_curl() { return nullptr; }

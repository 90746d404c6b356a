#include "source_client/util/message.h"

#include <cstdio>

namespace vqc {

int vsay(char *msg, size_t size, int status, const char *fmt, va_list ap) {
    if (msg && size) std::vsnprintf(msg, size, fmt, ap);
    return status;
}

int say_n(char *msg, size_t size, int status, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsay(msg, size, status, fmt, ap);
    va_end(ap);
    return status;
}

int say(char *msg, int status, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsay(msg, kMsgSize, status, fmt, ap);
    va_end(ap);
    return status;
}

}  // namespace vqc

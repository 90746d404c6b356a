// Placeholder until stream resolution lands.
#include "source_client/operations.h"
#include "source_client/results.h"

int32_t op_stream_url(const quorvex_io *, const char *, const char *, char *out, int32_t out_len) {
    return fail(QVX_E_UNSUPPORTED, out, out_len, "stream_url: not implemented yet");
}

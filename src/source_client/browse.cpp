// Placeholder until browsing lands.
#include "source_client/operations.h"
#include "source_client/results.h"

int32_t op_list(const quorvex_io *, const char *, const char *, char *out, int32_t out_len) {
    return fail(QVX_E_UNSUPPORTED, out, out_len, "list: not implemented yet");
}

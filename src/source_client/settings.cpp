// Placeholder until validation lands.
#include "source_client/operations.h"
#include "source_client/results.h"

int32_t op_validate(const quorvex_io *, const char *, char *out, int32_t out_len) {
    return fail(QVX_E_UNSUPPORTED, out, out_len, "validate: not implemented yet");
}

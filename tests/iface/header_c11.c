/* The public header must compile as strict C11 on its own. */
#include "quorvex_iptv.h"

int qvx_header_compiles_as_c11(void) { return (int)sizeof(quorvex_http_req); }

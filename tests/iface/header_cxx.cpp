// The public header must compile as C++ on its own, twice included.
#include "quorvex_iptv.h"
#include "quorvex_iptv.h"

int qvx_header_compiles_as_cxx() { return static_cast<int>(sizeof(source_handler)); }

// Placeholder until the cache lands.
#include "source_client/cache.h"

void vqiptv_count_error() {}

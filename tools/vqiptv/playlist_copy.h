// A copy of the playlist body the library downloads, taken on its way in by a
// transport wrapped around the one the source uses: the same bytes the
// library converted, a gzip file inflated as the fetch inflates it. `check
// --write-live` writes the live channels' own lines from it.
#pragma once
#include <string_view>

namespace vqt {

// From now on, every answer the library receives is copied (the last 2xx
// answer's body kept).
void keep_playlist_copy();

// The body of the last 2xx answer received whole, "" when there is none.
std::string_view playlist_copy();

}  // namespace vqt

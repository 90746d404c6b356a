// Resolves a Location against the URL that was asked for, both taken from
// the input: the base up to the first NUL byte, the Location after it (none
// when the input holds no NUL), read after their runs are expanded (runs.h),
// so a base of 16,384 bytes or a Location of 20,000 is a few bytes of input.
// A followed target is an absolute URL of the base's scheme or of the
// Location's, without fragment or dot segments in its path, and never over
// the library's limit; anything else is not followed, and "too long" only
// when some text could be.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "../runs.h"
#include "common/alloc.h"
#include "source_client/fetch/redirect.h"
#include "source_client/util/limits.h"
#include "source_client/util/url_util.h"

using namespace vqc;

namespace {

using sv = std::string_view;

void require(bool ok) {
    if (!ok) std::abort();
}

// The scheme and its ":" that start text, or "" when it has none.
sv scheme_of(sv text) {
    const size_t n = scheme_len(std::string(text).c_str());
    return n ? text.substr(0, n + 1) : sv();
}

// The path of an absolute URL: after the scheme and any authority, up to
// the query.
sv path_of(sv url) {
    url.remove_prefix(scheme_of(url).size());
    if (url.starts_with("//")) url.remove_prefix(std::min(url.find_first_of("/?", 2), url.size()));
    return url.substr(0, url.find('?'));
}

bool has_dot_segment(sv path) {
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find('/', start), path.size());
        sv segment = path.substr(start, end - start);
        if (segment == "." || segment == "..") return true;
        start = end + 1;
    }
    return false;
}

void check_followed(sv base, sv location, sv target) {
    require(target.size() <= kMaxUrlBytes && target.find('#') == sv::npos);
    const sv own = scheme_of(location);
    if (!own.empty()) {
        // An absolute Location is taken as it is, less its fragment.
        require(target == location.substr(0, location.find('#')));
        return;
    }
    const sv scheme = scheme_of(base);
    require(!scheme.empty() && target.starts_with(scheme) && !has_dot_segment(path_of(target)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input = fuzz_runs::expand({reinterpret_cast<const char *>(data), size});
    const size_t nul = input.find('\0');
    const std::string base = input.substr(0, nul);
    const bool has_location = nul != std::string::npos;
    const std::string location = has_location ? input.substr(nul + 1).c_str() : "";
    char *next = nullptr;
    const redirect_outcome got = redirect_target(base.c_str(), has_location ? location.c_str() : nullptr, &next);
    require((got == redirect_outcome::followed) == (next != nullptr));
    require(got != redirect_outcome::out_of_memory);
    if (got == redirect_outcome::too_long)
        require(base.size() > kMaxUrlBytes || location.size() > kMaxUrlBytes ||
                base.size() + location.size() + 1 > kMaxUrlBytes);
    if (next) check_followed(base, location, next);
    vq_free(next);
    return 0;
}

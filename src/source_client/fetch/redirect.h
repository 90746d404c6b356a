// Where a redirect leads: the "Location" of an answer resolved against the URL
// that was asked for, as RFC 3986 resolves references.
#pragma once

namespace vqc {

enum class redirect_outcome {
    followed,       // *next holds the target
    not_followed,   // no Location, an empty one, a scheme without "//", a base without scheme
    too_long,       // the base, the Location or the target is over kMaxUrlBytes
    out_of_memory,
};

// Resolves location (may be null) against base. Only when followed, *next is
// the target: a NUL-terminated heap text of at most kMaxUrlBytes bytes, without
// fragment, that the caller releases with vq_free; otherwise *next is null.
redirect_outcome redirect_target(const char *base, const char *location, char **next);

}  // namespace vqc

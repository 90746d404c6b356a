#include "source_client/model/header_spellings.h"

#include "common/ascii.h"

namespace vqc {

header_kind spelled_kind(std::string_view name, spelling_place place) {
    for (const header_spelling &s : kHeaderSpellings)
        if ((s.places & place) && vq_ieq(name, s.name)) return s.kind;
    return header_kind::other;
}

bool lists_headers(std::string_view property) {
    for (std::string_view p : kHeaderListProperties)
        if (vq_ieq(property, p)) return true;
    return false;
}

}  // namespace vqc

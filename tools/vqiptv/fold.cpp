#include "fold.h"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <climits>

#include "common/ascii.h"

namespace vqt {
namespace {

// The C library's UTF-8 locale: C.UTF-8 ships with every glibc install.
// Without it only ASCII letters fold.
locale_t utf8_locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    }();
    return loc;
}

// The multibyte conversions follow the calling thread's locale, so the
// UTF-8 locale is installed for this thread only and for this call only.
class ThreadLocale {
public:
    explicit ThreadLocale(locale_t loc) : old_(uselocale(loc)) {}
    ~ThreadLocale() { uselocale(old_); }
    ThreadLocale(const ThreadLocale &) = delete;
    ThreadLocale &operator=(const ThreadLocale &) = delete;

private:
    locale_t old_;
};

}  // namespace

std::string fold_case(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    locale_t loc = utf8_locale();
    if (!loc) {
        for (char c : text) out += vq_lower(c);
        return out;
    }
    ThreadLocale scope(loc);
    mbstate_t in{}, put{};
    char buf[MB_LEN_MAX];
    for (size_t at = 0; at < text.size();) {
        wchar_t wc = 0;
        size_t n = mbrtowc(&wc, text.data() + at, text.size() - at, &in);
        if (n == 0) n = 1;  // an embedded NUL is a character like any other
        if (n > text.size() - at) {  // not UTF-8 (or cut short): the byte as it is
            out += text[at++];
            in = mbstate_t{};
            continue;
        }
        size_t m = wcrtomb(buf, static_cast<wchar_t>(towlower_l(towupper_l(static_cast<wint_t>(wc), loc), loc)), &put);
        if (m == static_cast<size_t>(-1)) out.append(text.data() + at, n);
        else out.append(buf, m);
        at += n;
    }
    return out;
}

}  // namespace vqt

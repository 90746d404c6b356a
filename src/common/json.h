// The library's one door to JSON. Reading is strict (no NUL byte, valid UTF-8,
// no escaped lone surrogates, bounded nesting, nothing after the document);
// writing is compact and refuses invalid UTF-8. Every block comes from the
// allocation seam; a shortage surfaces as std::bad_alloc inside the module's
// calls and inside build(), and as a status everywhere else.
#pragma once
#include <cstddef>
#include <new>
#include <string_view>

#include "common/alloc.h"

namespace vqjson {
struct SeamTag {};
template <class T>
void seam_delete(T *p) {
    if (p) {
        p->~T();
        vq_free(p);
    }
}
}  // namespace vqjson

void *operator new(size_t n, vqjson::SeamTag);
void operator delete(void *p, vqjson::SeamTag) noexcept;

#define RAPIDJSON_NEW(x) new (::vqjson::SeamTag{}) x
#define RAPIDJSON_DELETE(x) ::vqjson::seam_delete(x)
#define RAPIDJSON_HAS_STDSTRING 0
#include <rapidjson/document.h>

namespace vqjson {

// Base allocator over the seam; throws std::bad_alloc instead of returning null
// because RapidJSON does not check for null.
struct SeamAllocator {
    static const bool kNeedFree = true;
    void *Malloc(size_t n);
    void *Realloc(void *p, size_t old_n, size_t new_n);
    static void Free(void *p) { vq_free(p); }
};

using Pool = rapidjson::MemoryPoolAllocator<SeamAllocator>;
using Value = rapidjson::GenericValue<rapidjson::UTF8<>, Pool>;
using BaseDoc = rapidjson::GenericDocument<rapidjson::UTF8<>, Pool, SeamAllocator>;

struct PoolHolder {
    Pool pool;
};

// A document that owns its pool as a member, so constructing one allocates
// nothing and cannot fail; every allocation happens inside the module's calls
// or inside build().
class Doc : private PoolHolder, public BaseDoc {
public:
    explicit Doc(rapidjson::Type type = rapidjson::kNullType) : PoolHolder(), BaseDoc(type, &pool) {}
    Doc(const Doc &) = delete;
    Doc &operator=(const Doc &) = delete;
};

constexpr unsigned kMaxDepth = 128;

enum Status { kOk = 0, kInvalid = -1, kNoMemory = -2 };

// RapidJSON counts a string's bytes and an object's members in 32 bits: a
// longer text is refused before it is read.
constexpr size_t kMaxTextBytes = 0xFFFFFFFFu;

// Parses text (len bytes, or up to its NUL with the second form) into doc.
Status parse_strict(Doc &doc, const char *text, size_t len) noexcept;
Status parse_strict(Doc &doc, const char *text) noexcept;

// Hands take(key, value) each member of the object text (len bytes) whose
// value is a string, in the order written, once the whole text has read
// strictly as an object (as parse_strict reads it); take returns false to
// hear of no more. The views last until take returns. No document is built:
// besides what take keeps, memory stays within twice the longest string.
// kInvalid, with nothing handed, for any other text. A shortage throws
// std::bad_alloc (call it inside build()), and so may take.
using MemberSink = bool (*)(void *ctx, std::string_view key, std::string_view value);
Status each_string_member(const char *text, size_t len, MemberSink take, void *ctx);
template <class F>
Status each_string_member(const char *text, size_t len, F &take) {
    auto call = [](void *f, std::string_view key, std::string_view value) {
        return (*static_cast<F *>(f))(key, value);
    };
    return each_string_member(text, len, call, &take);
}

// Writes v compactly ("/" unescaped, raw UTF-8) into a seam-allocated text that
// the caller releases with vq_free. kInvalid when a string is not UTF-8.
Status write_compact(const Value &v, char **out, size_t *out_len) noexcept;

// First member of obj whose key is exactly key (byte for byte), or null.
const Value *find_first(const Value &obj, const char *key) noexcept;
// Erases every member whose key is exactly key; the others keep their order.
void erase_members(Value &obj, const char *key) noexcept;

// Runs a document-building step; an allocation failure inside gives kNoMemory.
template <class F>
Status build(F &&f) noexcept {
    try {
        f();
        return kOk;
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

// A string value copied into doc's pool.
inline Value str(const char *s, size_t n, Doc &doc) {
    return Value(s, static_cast<rapidjson::SizeType>(n), doc.GetAllocator());
}
Value str(const char *s, Doc &doc);

}  // namespace vqjson

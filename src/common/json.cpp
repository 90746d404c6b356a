#include "common/json.h"

#include <rapidjson/reader.h>
#include <rapidjson/writer.h>

#include <cstring>

#include "common/utf8.h"

void *operator new(size_t n, vqjson::SeamTag) {
    void *p = vq_malloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

void operator delete(void *p, vqjson::SeamTag) noexcept { vq_free(p); }

namespace vqjson {

void *SeamAllocator::Malloc(size_t n) {
    if (n == 0) return nullptr;
    void *p = vq_malloc(n);
    if (!p) throw std::bad_alloc();
    return p;
}

void *SeamAllocator::Realloc(void *p, size_t, size_t new_n) {
    if (new_n == 0) {
        vq_free(p);
        return nullptr;
    }
    void *q = vq_realloc(p, new_n);
    if (!q) throw std::bad_alloc();
    return q;
}

namespace {

// An escaped lone surrogate (\udc00) decodes to ED A0..BF xx, which RapidJSON
// lets through; raw bytes were already validated by the reader, so only
// those can fail the check.
bool well_formed(const char *s, size_t n) {
    return vq_utf8_valid_prefix(reinterpret_cast<const unsigned char *>(s), n) == n;
}

constexpr unsigned kStrictFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag;

// Forwards reader events into the document while bounding depth and refusing
// surrogates.
struct StrictHandler {
    BaseDoc &doc;
    unsigned depth = 0;

    bool Null() { return doc.Null(); }
    bool Bool(bool b) { return doc.Bool(b); }
    bool Int(int i) { return doc.Int(i); }
    bool Uint(unsigned u) { return doc.Uint(u); }
    bool Int64(int64_t i) { return doc.Int64(i); }
    bool Uint64(uint64_t u) { return doc.Uint64(u); }
    bool Double(double d) { return doc.Double(d); }
    bool RawNumber(const char *s, rapidjson::SizeType n, bool copy) { return doc.RawNumber(s, n, copy); }
    bool String(const char *s, rapidjson::SizeType n, bool copy) {
        return well_formed(s, n) && doc.String(s, n, copy);
    }
    bool Key(const char *s, rapidjson::SizeType n, bool copy) {
        return well_formed(s, n) && doc.Key(s, n, copy);
    }
    bool StartObject() { return ++depth <= kMaxDepth && doc.StartObject(); }
    bool EndObject(rapidjson::SizeType n) {
        --depth;
        return doc.EndObject(n);
    }
    bool StartArray() { return ++depth <= kMaxDepth && doc.StartArray(); }
    bool EndArray(rapidjson::SizeType n) {
        --depth;
        return doc.EndArray(n);
    }
};

struct Generator {
    const char *text;
    size_t len;
    bool ok = false;
    bool operator()(BaseDoc &doc) {
        rapidjson::MemoryStream ms(text, len);
        rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, SeamAllocator> reader;
        StrictHandler h{doc};
        ok = !reader.Parse<kStrictFlags>(ms, h).IsError();
        return ok;
    }
};

// Reader events of a strict read into no document: the depth bounded, the
// top an object, surrogates refused. With take, each member of the top
// object whose value is a string goes to it; the member's key is kept
// meanwhile, since the reader reuses its room for the value.
struct MemberHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, MemberHandler> {
    MemberSink take;
    void *ctx;
    unsigned depth = 0;
    bool stopped = false;  // take wanted no more
    char *key = nullptr;
    size_t key_len = 0, key_cap = 0;

    ~MemberHandler() { vq_free(key); }
    void keep_key(const char *s, size_t n) {
        if (n > key_cap) {
            char *room = static_cast<char *>(vq_realloc(key, n));
            if (!room) throw std::bad_alloc();
            key = room;
            key_cap = n;
        }
        if (n) std::memcpy(key, s, n);
        key_len = n;
    }
    bool Default() { return depth > 0; }
    bool String(const char *s, rapidjson::SizeType n, bool) {
        if (depth == 0 || !well_formed(s, n)) return false;
        if (depth == 1 && take) stopped = !take(ctx, {key, key_len}, {s, n});
        return !stopped;
    }
    bool Key(const char *s, rapidjson::SizeType n, bool) {
        if (!well_formed(s, n)) return false;
        if (depth == 1 && take) keep_key(s, n);
        return true;
    }
    bool StartObject() { return ++depth <= kMaxDepth; }
    bool EndObject(rapidjson::SizeType) { return --depth, true; }
    bool StartArray() { return depth > 0 && ++depth <= kMaxDepth; }
    bool EndArray(rapidjson::SizeType) { return --depth, true; }
};

bool read_members(const char *text, size_t len, MemberHandler &h) {
    rapidjson::MemoryStream ms(text, len);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, SeamAllocator> reader;
    return !reader.Parse<kStrictFlags>(ms, h).IsError() || h.stopped;
}

// Output stream that grows a seam-allocated text.
struct OutText {
    typedef char Ch;
    char *data = nullptr;
    size_t len = 0, cap = 0;
    void Put(char c) {
        if (len + 1 >= cap) grow();
        data[len++] = c;
    }
    void Flush() {}
    void grow() {
        size_t ncap = cap ? cap * 2 : 256;
        char *p = static_cast<char *>(vq_realloc(data, ncap));
        if (!p) throw std::bad_alloc();
        data = p;
        cap = ncap;
    }
};

}  // namespace

Status parse_strict(Doc &doc, const char *text, size_t len) noexcept {
    if (!text || len > kMaxTextBytes || std::memchr(text, 0, len)) return kInvalid;
    Generator gen{text, len};
    Status st = build([&] { doc.Populate(gen); });
    if (st != kOk) return st;
    return gen.ok ? kOk : kInvalid;
}

Status parse_strict(Doc &doc, const char *text) noexcept {
    return text ? parse_strict(doc, text, std::strlen(text)) : kInvalid;
}

Status each_string_member(const char *text, size_t len, MemberSink take, void *ctx) {
    if (!text || len > kMaxTextBytes || std::memchr(text, 0, len)) return kInvalid;
    MemberHandler check{{}, nullptr, nullptr};
    if (!read_members(text, len, check)) return kInvalid;
    MemberHandler hand{{}, take, ctx};
    read_members(text, len, hand);
    return kOk;
}

Status write_compact(const Value &v, char **out, size_t *out_len) noexcept {
    *out = nullptr;
    *out_len = 0;
    OutText os;
    bool ok = false;
    Status st = build([&] {
        rapidjson::Writer<OutText, rapidjson::UTF8<>, rapidjson::UTF8<>, SeamAllocator,
                          rapidjson::kWriteValidateEncodingFlag>
            w(os);
        ok = v.Accept(w);
        os.Put('\0');
    });
    if (st != kOk || !ok) {
        vq_free(os.data);
        return st != kOk ? st : kInvalid;
    }
    *out = os.data;
    *out_len = os.len - 1;
    return kOk;
}

const Value *find_first(const Value &obj, const char *key) noexcept {
    if (!obj.IsObject()) return nullptr;
    size_t n = std::strlen(key);
    for (auto it = obj.MemberBegin(); it != obj.MemberEnd(); ++it) {
        if (it->name.GetStringLength() == n && std::memcmp(it->name.GetString(), key, n) == 0) return &it->value;
    }
    return nullptr;
}

// One pass: each kept member moves up over the erased ones before it, which
// gather at the end and go together (erasing them one by one would move the
// rest of the object each time).
void erase_members(Value &obj, const char *key) noexcept {
    if (!obj.IsObject()) return;
    size_t n = std::strlen(key);
    auto kept_end = obj.MemberBegin();
    for (auto it = obj.MemberBegin(); it != obj.MemberEnd(); ++it) {
        if (it->name.GetStringLength() == n && std::memcmp(it->name.GetString(), key, n) == 0) continue;
        if (kept_end != it) {
            kept_end->name.Swap(it->name);
            kept_end->value.Swap(it->value);
        }
        ++kept_end;
    }
    if (kept_end != obj.MemberEnd()) obj.EraseMember(kept_end, obj.MemberEnd());
}

Value str(const char *s, Doc &doc) { return str(s, std::strlen(s), doc); }

}  // namespace vqjson

#include "source_client/ops/stream_headers.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/ascii.h"
#include "source_client/ops/header_suffix.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {

using vqjson::Value;
using sv = std::string_view;

Value text(sv s, vqjson::Doc &doc) { return vqjson::str(s.data(), s.size(), doc); }

// The names of the headers taken so far, told apart without regard to case:
// open addressing over views of the playlist's text and the document's pool,
// at most half full, keyed (the names are the playlist's), in the document's
// pool (freed with it; a shortage throws as the document's own allocations do).
class name_set {
public:
    explicit name_set(vqjson::Pool &pool) : pool_(pool) {}
    bool has(sv name) const { return count_ && !slot_for(slots_, mask_, name)->empty(); }
    // name must not be in the set yet.
    void add(sv name) {
        if (2 * (count_ + 1) > mask_ + 1) grow();
        *slot_for(slots_, mask_, name) = name;
        ++count_;
    }

private:
    static sv *slot_for(sv *slots, size_t mask, sv name) {
        size_t s = slot_hash_folded(slot_key_once(), name) & mask;
        while (!slots[s].empty() && !vq_ieq(slots[s], name)) s = (s + 1) & mask;
        return &slots[s];
    }
    void grow() {
        size_t n = slots_ ? 2 * (mask_ + 1) : 16;
        sv *bigger = static_cast<sv *>(pool_.Malloc(n * sizeof(sv)));
        std::uninitialized_fill_n(bigger, n, sv());
        for (size_t i = 0; slots_ && i <= mask_; i++)
            if (!slots_[i].empty()) *slot_for(bigger, n - 1, slots_[i]) = slots_[i];
        slots_ = bigger;
        mask_ = n - 1;
    }
    vqjson::Pool &pool_;
    sv *slots_ = nullptr;
    size_t mask_ = 0, count_ = 0;
};

// A copy of s in the document's pool.
sv pooled(sv s, vqjson::Doc &doc) {
    char *buf = static_cast<char *>(doc.GetAllocator().Malloc(s.size() + 1));
    std::memcpy(buf, s.data(), s.size());
    return {buf, s.size()};
}

// A decoded copy of a form-encoded value in the document's pool.
sv decoded(sv value, vqjson::Doc &doc) {
    char *buf = static_cast<char *>(doc.GetAllocator().Malloc(value.size() + 1));
    return {buf, form_decode(value, buf)};
}

// Hands take each pair of a "Name=Value&..." list, its value decoded.
template <class F>
void each_listed(sv pairs, vqjson::Doc &doc, F &take) {
    header_pair pair;
    while (next_header_pair(pairs, &pair)) take(pair.name, decoded(pair.value, doc));
}

// Hands take each member of an "#EXTHTTP" object whose name is a header name
// and whose value is a string, both copied into the document's pool (the
// object goes when this returns). A text that is not a JSON object, read
// strictly, gives nothing.
template <class F>
void each_member(sv json, vqjson::Doc &doc, F &take) {
    vqjson::Doc object;
    vqjson::Status st = vqjson::parse_strict(object, json.data(), json.size());
    if (st == vqjson::kNoMemory) throw std::bad_alloc();
    if (st != vqjson::kOk || !object.IsObject()) return;
    for (const auto &m : object.GetObject()) {
        sv name(m.name.GetString(), m.name.GetStringLength());
        if (!m.value.IsString() || !header_name(name)) continue;
        take(pooled(name, doc), pooled(sv(m.value.GetString(), m.value.GetStringLength()), doc));
    }
}

// Hands take every header the channel's texts and then the suffix give, in
// the order written.
template <class F>
void each_header(const header_sources &src, vqjson::Doc &doc, F take) {
    for (int32_t i = 0; i < src.texts.count; i++) {
        const header_text &h = src.texts.first[i];
        sv written = pl_text(src.pl, h.text);
        if (h.form == header_form::json_object)
            each_member(written, doc, take);
        else if (reads_as_header_pairs(written))
            each_listed(written, doc, take);
    }
    each_listed(src.suffix_pairs, doc, take);
}

}  // namespace

Value stream_headers(const header_sources &src, vqjson::Doc &doc) {
    auto &a = doc.GetAllocator();
    sv user_agent = src.user_agent, referrer = src.referrer;
    Value others(rapidjson::kObjectType);
    name_set taken(a);
    each_header(src, doc, [&](sv name, sv value) {
        if (!sendable_header_value(value)) return;  // and its name stays free
        header_kind kind = kind_of_header(name);
        if (kind == header_kind::user_agent && user_agent.empty()) user_agent = value;
        if (kind == header_kind::referer && referrer.empty()) referrer = value;
        if (kind != header_kind::other || taken.has(name)) return;
        others.AddMember(text(name, doc), text(value, doc), a);
        taken.add(name);
    });
    Value headers(rapidjson::kObjectType);
    if (!user_agent.empty()) headers.AddMember("User-Agent", text(user_agent, doc), a);
    if (!referrer.empty()) headers.AddMember("Referer", text(referrer, doc), a);
    for (auto &m : others.GetObject()) headers.AddMember(m.name, m.value, a);
    return headers;
}

}  // namespace vqc

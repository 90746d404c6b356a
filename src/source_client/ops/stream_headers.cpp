#include "source_client/ops/stream_headers.h"

#include <cstring>
#include <new>

#include "common/ascii.h"
#include "source_client/fetch/source_headers.h"
#include "source_client/ops/header_suffix.h"
#include "source_client/util/slot_hash.h"

namespace vqc {

namespace {

using vqjson::Value;
using sv = std::string_view;

// The names of the other headers taken so far, told apart without regard to
// case: open addressing over their copies in the document's pool, at most
// half full, keyed (the names are the playlist's).
class name_set {
public:
    bool has(sv name) const { return !slots_[slot_for(name)].empty(); }
    // name must not be in the set yet, and the set must hold fewer than
    // kMaxSourceHeaders names.
    void add(sv name) { slots_[slot_for(name)] = name; }

private:
    static constexpr size_t kSlots = 2 * kMaxSourceHeaders;
    static_assert((kSlots & (kSlots - 1)) == 0, "the slot is found by a mask");
    size_t slot_for(sv name) const {
        size_t s = slot_hash_folded(slot_key_once(), name) & (kSlots - 1);
        while (!slots_[s].empty() && !vq_ieq(slots_[s], name)) s = (s + 1) & (kSlots - 1);
        return s;
    }
    sv slots_[kSlots];
};

// The headers of the answer as they come, the first of each kept: User-Agent
// and Referer, then at most kMaxSourceHeaders others, each the first of its
// name, as a source's own lines are bounded. A value is taken when a player
// may be handed it and its line ("Name: value", named as the answer names
// it) holds at most kMaxHeaderLine bytes; any other leaves its name free.
// What is taken is copied into the document's pool, so the views handed in
// may end with the call.
class header_picker {
public:
    explicit header_picker(vqjson::Doc &doc) : doc_(doc) {}

    // False once nothing more can be taken.
    bool take(sv name, sv value) {
        header_kind kind = kind_of_header(name);
        if (kind == header_kind::user_agent) keep_first(user_agent_, "User-Agent", value);
        if (kind == header_kind::referer) keep_first(referrer_, "Referer", value);
        if (kind == header_kind::other && count_ < kMaxSourceHeaders && !taken_.has(name) && fits(name, value)) {
            sv own = pooled(name);
            others_.AddMember(Value(rapidjson::StringRef(own.data(), own.size())), text(value), doc_.GetAllocator());
            taken_.add(own);
            ++count_;
        }
        return !user_agent_.IsString() || !referrer_.IsString() || count_ < kMaxSourceHeaders;
    }

    Value answer() {
        auto &a = doc_.GetAllocator();
        Value headers(rapidjson::kObjectType);
        if (user_agent_.IsString()) headers.AddMember("User-Agent", user_agent_, a);
        if (referrer_.IsString()) headers.AddMember("Referer", referrer_, a);
        for (auto &m : others_.GetObject()) headers.AddMember(m.name, m.value, a);
        return headers;
    }

private:
    static bool fits(sv name, sv value) {
        return name.size() + 2 + value.size() <= kMaxHeaderLine && sendable_header_value(value);
    }
    void keep_first(Value &slot, sv name, sv value) {
        if (slot.IsNull() && fits(name, value)) slot = text(value);
    }
    Value text(sv s) { return vqjson::str(s.data(), s.size(), doc_); }
    sv pooled(sv s) {
        char *buf = static_cast<char *>(doc_.GetAllocator().Malloc(s.size() + 1));
        std::memcpy(buf, s.data(), s.size());
        return {buf, s.size()};
    }

    vqjson::Doc &doc_;
    Value user_agent_, referrer_, others_{rapidjson::kObjectType};
    name_set taken_;
    size_t count_ = 0;
};

// Hands pick each pair of a "Name=Value&..." list, its value decoded, while
// it takes more. Three bytes written give at most one: a longer value than
// this room holds fits no line once decoded, and is passed over as it is.
bool take_listed(sv pairs, header_picker &pick) {
    char value[3 * kMaxHeaderLine];
    header_pair pair;
    bool more = true;
    while (more && next_header_pair(pairs, &pair))
        if (pair.value.size() <= sizeof value) more = pick.take(pair.name, sv(value, form_decode(pair.value, value)));
    return more;
}

// Hands pick each member of an "#EXTHTTP" object whose name is a header name
// and whose value is a string, while it takes more; read as it stands, no
// document of it is built. A text that is not a JSON object, read strictly,
// gives nothing.
bool take_members(sv json, header_picker &pick) {
    bool more = true;
    auto member = [&](sv name, sv value) {
        if (header_name(name)) more = pick.take(name, value);
        return more;
    };
    vqjson::each_string_member(json.data(), json.size(), member);
    return more;
}

}  // namespace

Value stream_headers(const header_sources &src, vqjson::Doc &doc) {
    header_picker pick(doc);
    pick.take("User-Agent", src.user_agent);
    bool more = pick.take("Referer", src.referrer);
    for (int32_t i = 0; more && i < src.texts.count; i++) {
        const header_text &h = src.texts.first[i];
        sv written = pl_text(src.pl, h.text);
        if (h.form == header_form::json_object)
            more = take_members(written, pick);
        else if (reads_as_header_pairs(written))
            more = take_listed(written, pick);
    }
    if (more) take_listed(src.suffix_pairs, pick);
    return pick.answer();
}

}  // namespace vqc

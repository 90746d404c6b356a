// JSON written straight into one growing text, for documents too big to build
// as a tree first (a listing of a whole playlist): compact, and byte for byte
// what write_compact writes for the same values. The strings given must be
// well-formed UTF-8 already; unlike write_compact, nothing here checks them.
// The text comes from the allocation seam; a shortage makes every later
// append do nothing and release() answer null.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vqjson {

class TextOut {
public:
    TextOut() = default;
    ~TextOut();
    TextOut(const TextOut &) = delete;
    TextOut &operator=(const TextOut &) = delete;

    // Appends s as it is (JSON the caller made).
    void raw(std::string_view s) {
        if (cap_ - len_ > s.size()) {  // the NUL release() adds always has room
            std::memcpy(data_ + len_, s.data(), s.size());
            len_ += s.size();
        } else {
            raw_grown(s);
        }
    }
    // Appends s as the inside of a JSON string, without the quotes.
    void escaped(std::string_view s);
    void number(int64_t n);
    // Room for n more bytes at once; the text otherwise grows by half.
    void reserve(size_t n);

    bool failed() const { return failed_; }
    std::string_view view() const { return {data_ ? data_ : "", len_}; }
    // The text with a NUL after it, handed over (released with vq_free), the
    // block trimmed to it; null when memory ran out.
    char *release(size_t *len);

private:
    void raw_grown(std::string_view s);
    bool grow(size_t more);

    char *data_ = nullptr;
    size_t len_ = 0;
    size_t cap_ = 0;
    bool failed_ = false;
};

}  // namespace vqjson

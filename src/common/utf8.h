// The one test of well-formed UTF-8 (no overlong form, surrogate or code
// point above U+10FFFF) and the repairs built on it: messages, header values,
// the parser's and the model's strings and the tool's columns all use it.
#pragma once
#include <cstddef>
#include <cstdint>

// Length (1 to 4) of the well-formed UTF-8 sequence at p with left bytes
// remaining, or 0 when none starts there.
size_t vq_utf8_seq(const unsigned char *p, size_t left);

// The same, and the code point of the sequence in *cp when there is one.
size_t vq_utf8_decode(const unsigned char *p, size_t left, uint32_t *cp);

// Length of the sequence the lead byte c announces by its form alone (1 to 4),
// 0 for a continuation byte or one that cannot lead.
constexpr size_t vq_utf8_lead_len(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    return (c & 0xF8) == 0xF0 ? 4 : 0;
}

// Whether c continues a sequence (10xxxxxx) rather than starting one.
constexpr bool vq_utf8_continues(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the sequence at p read by its form alone: a lead byte and the
// continuation bytes it announces, so overlong forms, surrogates and code
// points up to 0x1FFFFF pass too; 0 when the form is broken or cut short.
size_t vq_utf8_form_len(const unsigned char *p, size_t left);

// Length of the longest well-formed start of the n bytes at p.
size_t vq_utf8_valid_prefix(const unsigned char *p, size_t n);

// Replaces, in place, every byte that starts no well-formed sequence with '?'
// (the length never changes).
void vq_utf8_repair(char *s, size_t n);

// Copies n bytes to out with U+FFFD in place of every byte that starts no
// well-formed sequence; answers the bytes written (at most 3 * n, the room
// out must have).
size_t vq_utf8_copy_repaired(char *out, const unsigned char *s, size_t n);

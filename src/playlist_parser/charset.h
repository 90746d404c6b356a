// Character-set conversion backend of the parser engine. One implementation per
// platform (charset_iconv.cpp over the C library's iconv, charset_win32.cpp over
// MultiByteToWideChar); the build picks one.
#pragma once
#include <cstddef>
#include <cstdint>

enum { VQPLP_CHARSET_OK = 0, VQPLP_CHARSET_FAIL = 1, VQPLP_CHARSET_NOMEM = 2 };

// Converts len bytes from the character set source_name to UTF-8. On success
// returns 0 and sets *out to a new NUL-terminated text (released with vq_free)
// and *out_len to its length, terminator not counted. Returns VQPLP_CHARSET_FAIL
// for an unknown or empty name or input that is invalid or incomplete in that
// set, VQPLP_CHARSET_NOMEM when memory runs out; *out is null then, so a
// half-converted text is never handed out. Byte-order marks are converted like
// any other character (UTF-16 FF FE gives U+FEFF).
int vqplp_charset_to_utf8(const char *source_name, const unsigned char *in, size_t len, char **out, size_t *out_len);

// Whether vqplp_charset_to_utf8 knows the character set source_name (false
// for a null or empty name), without converting anything.
bool vqplp_charset_known(const char *source_name);

// The character of each byte from 0x80 up in the single-byte character set
// source_name: chars[b - 0x80] is its code point, 0 where the set has none
// for it (a byte it refuses, or one that only begins a longer sequence). False
// for a set it does not know. Nothing is allocated.
bool vqplp_charset_high_chars(const char *source_name, uint32_t chars[128]);

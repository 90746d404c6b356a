// What the bytes from 0x80 up stand for in each single-byte code page the
// decoder may guess, and how typical each letter is of the languages written
// in that code page: the knowledge the code-page guess scores a text with.
#pragma once
#include <cstdint>

namespace vqplp {

// A byte as a code page reads it. Letters of scripts without case are kLower;
// kFinal is a small letter that only ends words (Greek final sigma, the final
// forms of Hebrew). kBoundary stands for the ASCII bytes that are no letters.
enum class HighByte : uint8_t { kMissing, kSymbol, kMark, kLower, kUpper, kFinal, kBoundary };

// CP1252 first: the Western reading that the others must beat. A tie between
// two others goes to the one first here, the more common in playlists:
// KOI8-R, which reads Greek much as CP1253 does, comes last.
constexpr const char *kGuessedPages[] = {"CP1252", "CP1251", "CP1256", "CP1254",
                                         "CP1250", "CP1253", "CP1255", "KOI8-R"};
constexpr int kPageCount = sizeof kGuessedPages / sizeof kGuessedPages[0];
constexpr int kReadingCount = 23;
constexpr int kWesternReadings = 11;  // the first readings, those of CP1252

// One language, or for CP1252 the Western languages together, read through
// one code page.
struct Reading {
    int page;            // index into kGuessedPages
    bool latin;          // written in Latin letters: ASCII letters share its words
    int8_t weight[128];  // per byte from 0x80: how typical the letter is of the language, or kNoLetter
};

struct PageLetters {
    HighByte kind[kPageCount][128];    // kMissing throughout for a code page the converter lacks
    bool as_western[kPageCount][128];  // whether the byte is the same character in CP1252
    bool latin[kPageCount];            // whether the page writes Latin letters
    Reading reading[kReadingCount];
};

// The weight of a letter foreign to the language, and the mark of a byte that
// is no letter.
constexpr int8_t kForeign = -4;
constexpr int8_t kNoLetter = -128;

// The tables, read from the converter and the languages' alphabets at the
// first call (about a millisecond) and kept for the process. Nothing is
// allocated; a code page the converter lacks reads as missing throughout.
const PageLetters &page_letters();

}  // namespace vqplp

// The code pages' own tables come from the converter (so a byte scores as what
// the conversion makes of it, on every platform); the alphabets below say
// which letters a language writes and how often, in three tiers ("|" between
// them). A script of its own: one letter in about 30 or fewer, one in 100 or
// fewer, rarer. Accented Latin letters: one in about 300 or fewer, one in
// 2,000 or fewer, rarer. Only letters from 0x80 up are listed.
#include "playlist_parser/codepage_letters.h"

#include <cstddef>

#include "playlist_parser/charset.h"

namespace vqplp {

namespace {

enum Page { kCp1252, kCp1251, kCp1256, kCp1254, kCp1250, kCp1253, kCp1255, kKoi8r };

struct Language {
    Page page;
    bool latin;
    const char16_t *letters;  // lower case; null: every letter of the languages of its page before it
};

constexpr Language kLanguages[] = {
    {kCp1252, true, u"éàèê|çôâîùû|ëïœæÿ"},  // French
    {kCp1252, true, u"üäöß"},               // German
    {kCp1252, true, u"óíáéñ|ú|ü"},          // Spanish
    {kCp1252, true, u"ãôâçêéóú|íáàõ|ü"},    // Portuguese
    {kCp1252, true, u"àèù|éìò|íóú"},        // Italian
    {kCp1252, true, u"àèéíòó|úçï|ü"},       // Catalan
    {kCp1252, true, u"|ëé|ïèöüá"},          // Dutch
    {kCp1252, true, u"æøå|é"},              // Danish, Norwegian
    {kCp1252, true, u"äåö|é"},              // Swedish, Finnish
    {kCp1252, true, nullptr},               // lists that mix the languages above
    {kCp1252, true, u"áíóæöéú|ðþý"},        // Icelandic, Faroese
    {kCp1251, false, u"оеаинтсрвлкмд|пуяыьгзбчйі|хжшюцщэфъёїєґўђјљњћџѓќѕ"},
    {kCp1256, false, u"اليمونهرتبع|ةدسفقكحجشصطخذزضثغءأإىئ|ظآؤپچژگکیےہںٹڈڑھ"},
    {kCp1254, true, u"ıüşçğöİ||âîû"},         // Turkish
    {kCp1250, true, u"íěýáéšžčřů|ú|óďňť"},    // Czech
    {kCp1250, true, u"áíýčšžéúľťóô|äďň|ĺŕ"},  // Slovak
    {kCp1250, true, u"łęąóżśćń|ź"},           // Polish
    {kCp1250, true, u"áéóöőíüúű"},            // Hungarian
    {kCp1250, true, u"čšžćđ"},                // Croatian, Slovene, Bosnian
    {kCp1250, true, u"ăîşţâ"},                // Romanian
    {kCp1253, false, u"αοιτενσρυπκμη|λςίόάέγδθχή|ωφβύώζξψϊϋΐΰ"},
    {kCp1255, false, u"יוהלמארתבנש|כעדםחקןפסגזצטךף|ץ"},
    {kKoi8r, false, u"оеаинтсрвлкмд|пуяыьгзбчй|хжшюцщэфъё"},
};
static_assert(sizeof kLanguages / sizeof kLanguages[0] == kReadingCount);
static_assert(kLanguages[kWesternReadings - 1].page == kCp1252 && kLanguages[kWesternReadings].page != kCp1252);

struct Char {
    HighByte kind;
    char32_t lower;
};

constexpr Char letter(bool upper, char32_t lower) { return {upper ? HighByte::kUpper : HighByte::kLower, lower}; }

// Latin-1 letters and Latin Extended-A, whose capitals pair with the small
// letter after them (the odd ones in two stretches); the dotted capital I and
// the dotless small i of Turkish pair with ASCII letters and stand for
// themselves.
Char latin(char32_t c) {
    if (c < 0x100)
        return c == 0xD7 || c == 0xF7 ? Char{HighByte::kSymbol, 0} : letter(c < 0xDF, c < 0xDF ? c + 0x20 : c);
    if (c == 0x130) return letter(true, c);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return letter(false, c);
    if (c == 0x178) return letter(true, 0xFF);
    bool odd_capitals = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    bool upper = (c % 2 == 1) == odd_capitals;
    return letter(upper, upper ? c + 1 : c);
}

// Greek and Cyrillic capitals with their small letters.
Char greek_or_cyrillic(char32_t c) {
    if (c == 0x3C2) return {HighByte::kFinal, c};
    if (c >= 0x400) {
        if (c == 0x490) return letter(true, 0x491);
        return letter(c < 0x430, c < 0x410 ? c + 0x50 : c < 0x430 ? c + 0x20 : c);
    }
    if (c == 0x386) return letter(true, 0x3AC);
    if (c == 0x38C) return letter(true, 0x3CC);
    if (c <= 0x38A) return letter(true, c + 0x25);
    if (c <= 0x38F) return letter(true, c + 0x3F);
    return letter(c >= 0x391 && c <= 0x3AB, c >= 0x391 && c <= 0x3AB ? c + 0x20 : c);
}

bool in(char32_t c, char32_t from, char32_t to) { return c >= from && c <= to; }

// Hebrew and Arabic letters; their vowel points, the Arabic lengthening
// stroke and the zero-width joiners sit inside words as marks.
Char semitic(char32_t c) {
    if (in(c, 0x5B0, 0x5C7) || c == 0x640 || in(c, 0x64B, 0x652) || c == 0x200C || c == 0x200D)
        return {HighByte::kMark, 0};
    if (c == 0x5DA || c == 0x5DD || c == 0x5DF || c == 0x5E3 || c == 0x5E5) return {HighByte::kFinal, c};
    if (in(c, 0x5D0, 0x5F2) || in(c, 0x621, 0x64A) || in(c, 0x671, 0x6D3)) return letter(false, c);
    return {HighByte::kSymbol, 0};
}

Char classify(char32_t c) {
    if (c == 0 || in(c, 0x80, 0x9F)) return {HighByte::kMissing, 0};
    if (in(c, 0xC0, 0x17F) && c != 0x192) return latin(c);
    if (in(c, 0x386, 0x3CE) && c != 0x387 && c != 0x38B && c != 0x38D) return greek_or_cyrillic(c);
    if (in(c, 0x400, 0x45F) || in(c, 0x490, 0x491)) return greek_or_cyrillic(c);
    return semitic(c);
}

// The weights of the tiers of an alphabet: what a letter tells for or
// against the language, about the binary logarithm of how much more often the
// language writes it than a letter drawn at random.
constexpr int8_t kTierWeights[] = {2, 0, -2};
// A list that mixes the Western languages: its letters count neither way.
constexpr int8_t kMixed = 0;

// The tier of a letter in an alphabet (0 to 2), -1 for a letter it lacks.
int tier_of(const char16_t *letters, char32_t lower) {
    int tier = 0;
    for (const char16_t *l = letters; *l; ++l) {
        if (*l == u'|') ++tier;
        if (*l == lower) return tier;
    }
    return -1;
}

// Whether a language of the page before the language at index `mixed` writes the letter.
bool western(size_t mixed, char32_t lower) {
    for (size_t i = 0; i < mixed; ++i)
        if (kLanguages[i].page == kLanguages[mixed].page && tier_of(kLanguages[i].letters, lower) >= 0) return true;
    return false;
}

int8_t weight_of(size_t lang, Char c) {
    if (c.kind != HighByte::kLower && c.kind != HighByte::kUpper && c.kind != HighByte::kFinal) return kNoLetter;
    const Language &l = kLanguages[lang];
    // French names in an Arabic list: Latin letters are no part of another
    // script's reading, neither for it nor against it.
    if (!l.latin && c.lower < 0x370) return kNoLetter;
    if (!l.letters) return western(lang, c.lower) ? kMixed : kForeign;
    int tier = tier_of(l.letters, c.lower);
    return tier < 0 ? kForeign : kTierWeights[tier];
}

void read_page_letters(PageLetters *t) {
    Char chars[kPageCount][128];
    uint32_t cps[kPageCount][128] = {};
    for (int p = 0; p < kPageCount; ++p) {
        vqplp_charset_high_chars(kGuessedPages[p], cps[p]);  // a page it lacks stays missing throughout
        for (int b = 0; b < 128; ++b) {
            chars[p][b] = classify(cps[p][b]);
            t->kind[p][b] = chars[p][b].kind;
            t->as_western[p][b] = cps[p][b] == cps[0][b];
        }
    }
    for (size_t r = 0; r < kReadingCount; ++r) {
        Reading &reading = t->reading[r];
        reading.page = kLanguages[r].page;
        reading.latin = kLanguages[r].latin;
        t->latin[reading.page] = reading.latin;
        for (int b = 0; b < 128; ++b) reading.weight[b] = weight_of(r, chars[reading.page][b]);
    }
}

}  // namespace

const PageLetters &page_letters() {
    static const PageLetters letters = [] {
        PageLetters t;
        read_page_letters(&t);
        return t;
    }();
    return letters;
}

}  // namespace vqplp

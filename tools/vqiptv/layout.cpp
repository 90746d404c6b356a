#include "layout.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/byte_scan.h"
#include "common/utf8.h"

namespace vqt {
namespace {

constexpr const char *kEllipsis = "\xE2\x80\xA6";
// Cells a shortened URL keeps of its end at least: the file name, mostly.
constexpr size_t kKeepAtEnd = 8;

struct Range {
    uint32_t first, last;
};

constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x200B, 0x200F}, {0x20D0, 0x20FF},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

template <size_t N>
bool within(const Range (&ranges)[N], uint32_t cp) {
    for (const Range &r : ranges)
        if (cp >= r.first && cp <= r.last) return true;
    return false;
}

size_t cells(uint32_t cp) {
    if (within(kZero, cp)) return 0;
    return within(kWide, cp) ? 2 : 1;
}

// One character as the terminal shows it: `len` bytes of the text, drawn as
// `shown` (a control character as a space, a byte that starts no well-formed
// sequence as "?") or, when that is null, as themselves.
struct Glyph {
    size_t len;
    size_t width;
    const char *shown;
};

Glyph glyph_at(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x7F) return {1, 1, nullptr};  // printable ASCII, most of any text
    uint32_t cp = 0;
    size_t n = vq_utf8_decode(reinterpret_cast<const unsigned char *>(s.data()) + i, s.size() - i, &cp);
    if (n == 0) return {1, 1, "?"};
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return {n, 1, " "};  // C0, DEL and C1 controls
    return {n, cells(cp), nullptr};
}

// Texts are walked in place, never split into a string per glyph, and their
// printable ASCII sixteen bytes a step: a cell of many megabytes costs little
// more than reading it.
size_t plain_run(std::string_view s, size_t i) { return vqbytes::printable_run(s.data() + i, s.size() - i); }

void append_printable(std::string_view s, std::string &out) {
    size_t as_is = 0;  // where the bytes not yet appended, all shown as themselves, start
    for (size_t i = 0; i < s.size();) {
        if (size_t run = plain_run(s, i); run > 0) {
            i += run;
            continue;
        }
        Glyph g = glyph_at(s, i);
        if (g.shown) {
            out.append(s.substr(as_is, i - as_is)).append(g.shown);
            as_is = i + g.len;
        }
        i += g.len;
    }
    out.append(s.substr(as_is));
}

// Where the glyphs from s[from] stop fitting in `budget` cells; `used`
// receives the cells of those that fit.
size_t fitting_end(std::string_view s, size_t from, size_t budget, size_t &used) {
    used = 0;
    size_t i = from;
    while (i < s.size()) {
        Glyph g = glyph_at(s, i);
        if (used + g.width > budget) break;
        used += g.width;
        i += g.len;
    }
    return i;
}

// Where the longest tail of s taking at most `budget` cells starts: the
// first glyph whose tail fits, so glyphs are found reading forwards, as
// everywhere else.
size_t tail_start(std::string_view s, size_t budget) {
    size_t rest = display_width(s), i = 0;
    while (i < s.size() && rest > budget) {
        if (size_t run = std::min(plain_run(s, i), rest - budget); run > 0) {
            i += run;
            rest -= run;
            continue;
        }
        Glyph g = glyph_at(s, i);
        rest -= g.width;
        i += g.len;
    }
    return i;
}

constexpr size_t kGap = 2;
constexpr size_t kNarrowest = 6;

std::string fit(std::string_view cell, size_t width, Cut cut) {
    if (cut == Cut::middle) return cut_middle(cell, width);
    return cut == Cut::end ? cut_end(cell, width) : printable(cell);
}

}  // namespace

size_t display_width(std::string_view s) {
    size_t w = 0;
    for (size_t i = 0; i < s.size();) {
        if (size_t run = plain_run(s, i); run > 0) {
            i += run;
            w += run;
            continue;
        }
        Glyph g = glyph_at(s, i);
        w += g.width;
        i += g.len;
    }
    return w;
}

std::string printable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    append_printable(s, out);
    return out;
}

std::string cut_end(std::string_view s, size_t width) {
    if (display_width(s) <= width) return printable(s);
    if (width == 0) return "";
    size_t used = 0;
    return printable(s.substr(0, fitting_end(s, 0, width - 1, used))) + kEllipsis;
}

std::string cut_middle(std::string_view s, size_t width) {
    if (display_width(s) <= width) return printable(s);
    if (width < 2 * kKeepAtEnd) return cut_end(s, width);
    // The head reaches to the end of the host where that leaves room for a tail.
    size_t host = display_width(s.substr(0, s.find('/', s.find("://") + 3)));
    size_t head_budget = std::max((width - 1) * 2 / 3, std::min(host, width - 1 - kKeepAtEnd));
    size_t used = 0;
    std::string out = printable(s.substr(0, fitting_end(s, 0, head_budget, used)));
    out += kEllipsis;
    append_printable(s.substr(tail_start(s, width - 1 - used)), out);
    return out;
}

std::vector<size_t> Table::widths(size_t limit) const {
    std::vector<size_t> w(columns_.size()), least(columns_.size());
    for (size_t i = 0; i < w.size(); ++i) {
        w[i] = display_width(columns_[i].title);
        least[i] = columns_[i].cut == Cut::none ? SIZE_MAX : std::max(w[i], kNarrowest);
    }
    for (const auto &row : rows_)
        for (size_t i = 0; i < w.size() && i < row.size(); ++i) w[i] = std::max(w[i], display_width(row[i]));
    size_t total = std::accumulate(w.begin(), w.end(), size_t{0}) + kGap * (w.size() - 1);
    while (limit > 0 && total > limit) {
        size_t widest = w.size();
        for (size_t i = 0; i < w.size(); ++i)
            if (w[i] > least[i] && (widest == w.size() || w[i] > w[widest])) widest = i;
        if (widest == w.size()) break;
        --w[widest];
        --total;
    }
    return w;
}

std::string Table::line(const std::vector<std::string_view> &cells, const std::vector<size_t> &widths) const {
    std::vector<std::string> texts;
    size_t size = 1;
    for (size_t i = 0; i < columns_.size(); ++i) {
        texts.push_back(fit(i < cells.size() ? cells[i] : "", widths[i], columns_[i].cut));
        size += kGap + std::max(widths[i], texts[i].size());
    }
    // One block for the line: a cell of many megabytes is not copied twice over.
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < columns_.size(); ++i) {
        size_t pad = widths[i] - std::min(widths[i], display_width(texts[i]));
        if (i > 0) out.append(kGap, ' ');
        if (columns_[i].right) out.append(pad, ' ');
        out += texts[i];
        if (!columns_[i].right) out.append(pad, ' ');
    }
    out.erase(out.find_last_not_of(' ') + 1);
    out += '\n';
    return out;
}

void Table::write(std::ostream &out, size_t limit) const {
    std::vector<size_t> w = widths(limit);
    std::vector<std::string_view> titles;
    for (const Column &c : columns_) titles.push_back(c.title);
    out << line(titles, w);
    for (const auto &row : rows_) out << line(row, w);
}

std::string Table::render(size_t limit) const {
    std::ostringstream out;
    write(out, limit);
    return std::move(out).str();
}

size_t terminal_width() {
    winsize ws{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    const char *columns = std::getenv("COLUMNS");
    long n = columns ? std::strtol(columns, nullptr, 10) : 0;
    return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace vqt

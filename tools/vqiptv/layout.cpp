#include "layout.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace vqt {
namespace {

constexpr const char *kEllipsis = "\xE2\x80\xA6";
// Cells a shortened URL keeps of its end at least: the file name, mostly.
constexpr size_t kKeepAtEnd = 8;

struct Glyph {
    std::string bytes;
    size_t width;
};

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

// Length of the well-formed UTF-8 sequence at s[i] (0 when there is none)
// and its code point.
size_t decode(const std::string &s, size_t i, uint32_t &cp) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    return cp < least[n] || cp > 0x10FFFF || surrogate ? 0 : n;
}

std::vector<Glyph> glyphs(const std::string &s) {
    std::vector<Glyph> out;
    for (size_t i = 0; i < s.size();) {
        uint32_t cp = 0;
        size_t n = decode(s, i, cp);
        if (n == 0) {
            out.push_back({"?", 1});
            ++i;
        } else if (cp < 0x20 || cp == 0x7F) {
            out.push_back({" ", 1});
            i += n;
        } else {
            out.push_back({s.substr(i, n), cells(cp)});
            i += n;
        }
    }
    return out;
}

// The glyphs [from, to) of g joined, taking at most `budget` cells.
std::string take(const std::vector<Glyph> &g, size_t from, size_t to, size_t budget, size_t &used) {
    std::string out;
    used = 0;
    for (size_t i = from; i < to && used + g[i].width <= budget; ++i) {
        out += g[i].bytes;
        used += g[i].width;
    }
    return out;
}

// The longest tail of g taking at most `budget` cells.
std::string take_tail(const std::vector<Glyph> &g, size_t budget) {
    size_t i = g.size(), used = 0;
    while (i > 0 && used + g[i - 1].width <= budget) used += g[--i].width;
    size_t ignored = 0;
    return take(g, i, g.size(), budget, ignored);
}

constexpr size_t kGap = 2;
constexpr size_t kNarrowest = 6;

std::string fit(const std::string &cell, size_t width, Cut cut) {
    if (cut == Cut::middle) return cut_middle(cell, width);
    return cut == Cut::end ? cut_end(cell, width) : printable(cell);
}

}  // namespace

size_t display_width(const std::string &s) {
    size_t w = 0;
    for (const Glyph &g : glyphs(s)) w += g.width;
    return w;
}

std::string printable(const std::string &s) {
    std::string out;
    for (const Glyph &g : glyphs(s)) out += g.bytes;
    return out;
}

std::string cut_end(const std::string &s, size_t width) {
    if (display_width(s) <= width) return printable(s);
    if (width == 0) return "";
    std::vector<Glyph> g = glyphs(s);
    size_t used = 0;
    return take(g, 0, g.size(), width - 1, used) + kEllipsis;
}

std::string cut_middle(const std::string &s, size_t width) {
    if (display_width(s) <= width) return printable(s);
    if (width < 2 * kKeepAtEnd) return cut_end(s, width);
    std::vector<Glyph> g = glyphs(s);
    // The head reaches to the end of the host where that leaves room for a tail.
    size_t host = display_width(s.substr(0, s.find('/', s.find("://") + 3)));
    size_t head_budget = std::max((width - 1) * 2 / 3, std::min(host, width - 1 - kKeepAtEnd));
    size_t used = 0;
    std::string head = take(g, 0, g.size(), head_budget, used);
    return head + kEllipsis + take_tail(g, width - 1 - used);
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

std::string Table::line(const std::vector<std::string> &cells, const std::vector<size_t> &widths) const {
    std::string out;
    for (size_t i = 0; i < columns_.size(); ++i) {
        std::string text = fit(i < cells.size() ? cells[i] : "", widths[i], columns_[i].cut);
        std::string pad(widths[i] - std::min(widths[i], display_width(text)), ' ');
        if (i > 0) out += std::string(kGap, ' ');
        out += columns_[i].right ? pad + text : text + pad;
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out + "\n";
}

std::string Table::render(size_t limit) const {
    std::vector<size_t> w = widths(limit);
    std::vector<std::string> titles;
    for (const Column &c : columns_) titles.push_back(c.title);
    std::string out = line(titles, w);
    for (const auto &row : rows_) out += line(row, w);
    return out;
}

size_t terminal_width() {
    winsize ws{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    const char *columns = std::getenv("COLUMNS");
    long n = columns ? std::strtol(columns, nullptr, 10) : 0;
    return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace vqt

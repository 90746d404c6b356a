#include "table.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>

#include "text.h"

namespace vqt {
namespace {

constexpr size_t kGap = 2;
constexpr size_t kNarrowest = 6;

std::string fit(const std::string &cell, size_t width, Cut cut) {
    if (cut == Cut::middle) return cut_middle(cell, width);
    return cut == Cut::end ? cut_end(cell, width) : printable(cell);
}

}  // namespace

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

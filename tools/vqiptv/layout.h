// Terminal layout: text measured and cut the way a terminal shows it (UTF-8
// code points, wide East Asian characters taking two cells, combining marks
// none), and aligned tables whose columns are sized to their content and
// shrunk to the terminal's width by shortening cells with an ellipsis, never
// wrapped.
#pragma once
#include <deque>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vqt {

// Terminal cells s occupies.
size_t display_width(std::string_view s);

// s with control characters (C0, DEL and C1) as spaces and invalid bytes as
// "?", safe to print.
std::string printable(std::string_view s);

// s cut to at most `width` cells, ending in an ellipsis when cut.
std::string cut_end(std::string_view s, size_t width);

// s cut to at most `width` cells by taking out its middle: URLs keep their
// host and their last path segment.
std::string cut_middle(std::string_view s, size_t width);

enum class Cut { none, end, middle };

struct Column {
    std::string title;
    bool right = false;  // numbers align right
    Cut cut = Cut::end;  // how a cell too wide for the column is shortened
};

class Table {
public:
    explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}
    // A row of views into text the caller keeps alive until the table is
    // written; text made on the spot goes through keep() first.
    void add(std::vector<std::string_view> row) { rows_.push_back(std::move(row)); }
    // A copy of text that lives as long as the table.
    std::string_view keep(std::string text) { return kept_.emplace_back(std::move(text)); }
    size_t size() const { return rows_.size(); }
    // The header and the rows, one line each, at most `limit` cells wide
    // (0: no limit) as far as the columns can shrink; written a line at a
    // time, so a table of long cells never exists as one text.
    void write(std::ostream &out, size_t limit) const;
    std::string render(size_t limit) const;

private:
    std::vector<Column> columns_;
    std::vector<std::vector<std::string_view>> rows_;
    std::deque<std::string> kept_;  // a deque never moves what it holds

    std::vector<size_t> widths(size_t limit) const;
    std::string line(const std::vector<std::string_view> &cells, const std::vector<size_t> &widths) const;
};

// Cells per line of the terminal on stdout, else $COLUMNS, else 0 (no limit).
size_t terminal_width();

}  // namespace vqt

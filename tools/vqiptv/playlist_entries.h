// An M3U playlist split into its entries as the library's parser reads them:
// the lines each entry spans, byte for byte, and the id the library gives
// its channel, so that entries can be picked by channel and written again.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vqt {

class PlaylistEntries {
public:
    // Splits bytes, which must outlive this; error() says when it could not.
    explicit PlaylistEntries(std::string_view bytes);
    ~PlaylistEntries();
    PlaylistEntries(const PlaylistEntries &) = delete;
    PlaylistEntries &operator=(const PlaylistEntries &) = delete;

    const std::string &error() const { return error_; }
    // The "#EXTM3U" line with whatever stands before it; "" when the text has none.
    std::string_view head() const { return text_.substr(0, head_end_); }
    size_t size() const { return spans_.size(); }
    // Whether the library makes entry i a channel (its location is absolute).
    bool channel(size_t i) const { return spans_[i].channel; }
    uint64_t id(size_t i) const { return spans_[i].id; }
    // The entry's lines: from the line after the entry before it (or after the
    // head) to the end of its location's line, that line end included.
    std::string_view lines(size_t i) const { return text_.substr(spans_[i].begin, spans_[i].end - spans_[i].begin); }

private:
    struct Span {
        uint64_t id;
        size_t begin, end;
        bool channel;
    };
    struct Sink;

    std::string_view text_;  // the decoded text: the bytes themselves when they are UTF-8
    char *block_ = nullptr;  // the decoder's block that holds any other text
    size_t head_end_ = 0;
    std::vector<Span> spans_;
    std::string error_;

    void find_head();
};

}  // namespace vqt

#include "check.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <new>

#include "check_report.h"
#include "layout.h"
#include "library.h"
#include "live_file.h"
#include "render.h"

namespace vqt {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

// "checked 120 of 1000 streams, 45 live" on stderr while it is a terminal,
// erased once the run is over.
class CheckProgress {
public:
    explicit CheckProgress(size_t total) : total_(total), shown_(isatty(STDERR_FILENO) == 1) {}

    void count(const Verdict &v) {
        ++checked_;
        live_ += v.cause == Cause::live;
        auto now = Clock::now();
        if (!shown_ || (drawn_ && now - last_ < kRedrawEvery)) return;
        std::fprintf(stderr, "\r\033[Kchecked %zu of %zu streams, %zu live", checked_, total_, live_);
        std::fflush(stderr);
        drawn_ = true;
        last_ = now;
    }

    void end() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }

private:
    size_t total_, checked_ = 0, live_ = 0;
    bool shown_, drawn_ = false;
    Clock::time_point last_;
};

bool parse_id(const std::string &text, uint64_t &id) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
    return ec == std::errc() && end == text.data() + text.size() && text.size() == 16;
}

}  // namespace

uint32_t Checklist::group_index(const std::string &name) {
    for (size_t g = groups.size(); g-- > 0;)
        if (groups[g] == name) return static_cast<uint32_t>(g);
    groups.push_back(name);
    return static_cast<uint32_t>(groups.size() - 1);
}

bool Checklist::add(const std::string &doc) {
    std::vector<Entry> entries;
    if (!read_listing(doc, entries)) return false;
    for (const Entry &e : entries) {
        uint64_t id = 0;
        if (e.folder) continue;
        if (!parse_id(e.id, id)) return false;
        auto [it, fresh] = stream_of_.try_emplace(id, static_cast<uint32_t>(ids.size()));
        auto row = static_cast<uint32_t>(rows.size());
        if (fresh) {
            ids.push_back(id);
            first_row.push_back(row);
            last_row_.push_back(row);
        } else {
            next_row[last_row_[it->second]] = row;
            last_row_[it->second] = row;
        }
        rows.push_back({e.name, group_index(e.group), it->second});
        next_row.push_back(kNoRow);
    }
    verdicts.resize(ids.size());
    return true;
}

int run_check(const Options &opts, const std::string &settings, Checklist &list, std::ostream &out,
              std::ostream &err) {
    if (!opts.write_live.empty())
        if (int exit = live_file_usable(opts.write_live, err)) return exit;
    ProbeLimits limits{opts.jobs, opts.timeout_ms, kProbeBytes};
    CheckProgress progress(list.ids.size());
    Answer unresolved;
    auto next = [&](size_t s, Stream &stream) {
        Answer a = lib_stream_url(settings, "{\"id\":\"" + id_text(list.ids[s]) + "\"}");
        if (a.ok() && read_stream(a.doc, stream)) return true;
        unresolved = a.ok() ? Answer{-1, "", "the library answered a document the tool cannot read"} : a;
        return false;
    };
    auto done = [&](size_t s, const Stream &stream, const Verdict &v) {
        list.verdicts[s] = v;
        for (uint32_t r = list.first_row[s]; opts.json && r != Checklist::kNoRow; r = list.next_row[r])
            out << json_line(list, r, stream.url) << "\n";
        progress.count(v);
    };
    std::string trouble;
    try {
        trouble = run_probes(list.ids.size(), limits, next, done);
    } catch (const std::bad_alloc &) {
        trouble = "out of memory";
    }
    progress.end();
    if (!trouble.empty() || !unresolved.error.empty()) {
        err << "vqiptv: " << (trouble.empty() ? unresolved.error : trouble) << "\n";
        return trouble.empty() ? exit_for_status(unresolved.status) : kExitFailure;
    }
    if (!opts.json) {
        write_table(list, out, terminal_width());
        out << summary(list);
    }
    return opts.write_live.empty() ? kExitOk : write_live(opts.write_live, list, err);
}

}  // namespace vqt

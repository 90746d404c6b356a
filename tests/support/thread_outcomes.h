// Host threads that come and go, each repeating one listing of its own into a
// 16-byte buffer and reading, on the same thread at once, the full document,
// the message and the statistics text, as a player's threads do the -9 retry.
// Every read must be the thread's own, whatever the others run meanwhile.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvt {

struct outcome_exports {
    int32_t (*list)(const char *settings, const char *path, char *out, int32_t out_len);
    const char *(*result_json)();
    const char *(*last_error)();
    const char *(*stats_json)();
};

// What one listing answers into 16 bytes: its status, document and message.
struct own_outcome {
    std::string path;
    int32_t rc = 0;
    std::string doc, error;
};

inline own_outcome listed_alone(const outcome_exports &x, const std::string &settings, const std::string &path) {
    char small[16];
    int32_t rc = x.list(settings.c_str(), path.c_str(), small, sizeof small);
    return {path, rc, x.result_json(), x.last_error()};
}

// Rounds of one fresh thread per listing, each repeating it; the first fault
// seen, or "" when every read was the reading thread's own.
inline std::string thread_outcomes(const outcome_exports &x, const std::string &settings,
                                   const std::vector<own_outcome> &want, int rounds, int repeats) {
    std::mutex m;
    std::string fault;
    auto note = [&](const std::string &what) {
        std::lock_guard<std::mutex> hold(m);
        if (fault.empty()) fault = what;
    };
    auto one_thread = [&](const own_outcome &w) {
        if (*x.result_json() || *x.last_error()) note("a new thread read an outcome it did not make");
        for (int i = 0; i < repeats; ++i) {
            const char *stats = x.stats_json();
            const std::string stats_then = stats;
            own_outcome got = listed_alone(x, settings, w.path);
            if (got.rc != w.rc || got.doc != w.doc || got.error != w.error)
                note(w.path + " read " + std::to_string(got.rc) + " " + got.error + " " + got.doc.substr(0, 80));
            if (stats_then != stats || stats_then.rfind("{\"cache\":{\"hits\":", 0) != 0)
                note("the statistics text changed under its thread: " + stats_then);
        }
    };
    for (int r = 0; r < rounds; ++r) {
        std::vector<std::thread> threads;
        for (const own_outcome &w : want) threads.emplace_back([&] { one_thread(w); });
        for (std::thread &t : threads) t.join();
    }
    return fault;
}

}  // namespace qvt

// Drives the libcurl transport and the playlist fetch against a loopback
// server that answers with the input's bytes as they stand: status lines,
// headers, chunk framing, bodies and redirects, one answer per request. The
// input's first line is the path of the caller's URL, which carries a
// password and query values no message may show (secret_url.h); the answers
// follow, separated by a line "=====", and each connection closes after its
// answer. The input's runs are expanded first (runs.h), so a path of 5,000
// bytes or a Location of 20,000 is a few bytes of input. Two fetches run, so
// stored validators and 304 answers are reached. Every request goes to the
// loopback server, whatever a Location names: it is also the proxy for every
// scheme.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "../runs.h"
#include "common/shared_buf.h"
#include "http/transports.h"
#include "secret_url.h"
#include "source_client/fetch/fetch.h"
#include "source_client/fetch/transport_stats.h"
#include "source_client/model/channel_model.h"
#include "source_client/util/limits.h"
#include "source_client/util/message.h"
#include "wire_server.h"

using namespace vqc;

namespace {

constexpr std::string_view kSeparator = "\n=====\n";
constexpr size_t kMaxRequests = 9;  // per fetch, redirects included

std::vector<std::string> split(std::string_view input) {
    std::vector<std::string> answers;
    for (size_t at; (at = input.find(kSeparator)) != input.npos && answers.size() < 2 * kMaxRequests;) {
        answers.emplace_back(input.substr(0, at));
        input.remove_prefix(at + kSeparator.size());
    }
    answers.emplace_back(input);
    return answers;
}

// Nothing may leave the machine: the server is every scheme's proxy.
void route_everything_to(const wire_server &server) {
    const std::string proxy = server.url("");
    for (const char *name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, proxy.c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
}

void check_fetch(const quorvex_io *io, const std::string &url, std::string_view answers) {
    fetch_result got{};
    char msg[kMsgSize] = "";
    int rc = fetch(io, url.c_str(), &got, msg);
    size_t len = got.body ? sbuf_len(got.body) : 0;
    if (rc < -5 || rc > 0) std::abort();
    if (rc == 0 && (!got.body || len == 0 || len > kMaxBodyBytes || sbuf_data(got.body)[len] != '\0')) std::abort();
    if (rc != 0 && (got.body || !msg[0])) std::abort();
    fuzz_secret::require_hidden(msg, url.c_str(), answers);
    sbuf_unref(got.body);
}

// The answers of the input being run, for the server's threads.
struct script {
    std::mutex mu;
    std::vector<std::string> answers;
    size_t first = 0;  // the server's count of requests before this input
};

script g_script;

std::string answer(const wire_request &r) {
    std::lock_guard<std::mutex> lock(g_script.mu);
    size_t i = static_cast<size_t>(r.index) - g_script.first;
    return i < g_script.answers.size() ? g_script.answers[i] : std::string();
}

// A server keeps every connection's thread until it goes, so a fresh one
// takes over now and then; starting one for every input would cost more than
// the exchanges.
constexpr int kInputsPerServer = 32;

wire_server &server_for_next_input() {
    static std::unique_ptr<wire_server> server;
    static int served = 0;
    if (!server || ++served == kInputsPerServer) {
        server.reset();
        server = std::make_unique<wire_server>([](const wire_request &r, wire_conn &c) {
            c.send(answer(r));
            c.close();
        });
        served = 0;
        route_everything_to(*server);
    }
    return *server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    wire_server &server = server_for_next_input();
    size_t before = server.requests().size();
    const std::string input = fuzz_runs::expand({reinterpret_cast<const char *>(data), size});
    const size_t eol = std::min(input.find('\n'), input.size());
    const std::string_view answers = std::string_view(input).substr(std::min(eol + 1, input.size()));
    {
        std::lock_guard<std::mutex> lock(g_script.mu);
        g_script.answers = split(answers);
        g_script.first = before;
    }
    const quorvex_io *io = quorvex_io_over_http(quorvex_http_curl(), nullptr);
    const std::string url =
        fuzz_secret::url_around("127.0.0.1:" + std::to_string(server.port()) + "/" + input.substr(0, eol));
    vqiptv_curl_reset();
    check_fetch(io, url, answers);
    size_t middle = server.requests().size();
    check_fetch(io, url, answers);
    if (middle - before > kMaxRequests || server.requests().size() - middle > kMaxRequests) std::abort();
    return 0;
}

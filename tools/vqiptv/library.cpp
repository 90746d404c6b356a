#include "library.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/ascii.h"
#include "http/fake.h"
#include "http/transports.h"
#include "progress.h"
#include "quorvex_iptv.h"

namespace vqt {

int32_t stated_size(const std::string &message) {
    size_t at = message.find("need ");
    if (at == std::string::npos) return 0;
    unsigned long long n = std::strtoull(message.c_str() + at + 5, nullptr, 10);
    return n > 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : 0;
}

Answer call_sized(const Operation &op, int32_t first) {
    std::vector<char> buf(static_cast<size_t>(first));
    Answer a;
    a.status = op(buf.data(), first);
    if (a.status == QVX_E_BUFFER_TOO_SMALL) {
        int32_t need = stated_size(vqiptv_last_error());
        if (need > 0) {
            buf.assign(static_cast<size_t>(need), '\0');
            a.status = op(buf.data(), need);
        }
    }
    a.error = vqiptv_last_error();
    // A failure's document may not have fitted: the library keeps the whole text.
    a.doc = a.ok() ? std::string(buf.data()) : std::string(vqiptv_result_json());
    return a;
}

Answer lib_validate(const std::string &settings) {
    return call_sized([&](char *out, int32_t n) { return vqiptv_validate(settings.c_str(), out, n); });
}

Answer lib_list(const std::string &settings, const std::string &path) {
    return call_sized([&](char *out, int32_t n) { return vqiptv_list(settings.c_str(), path.c_str(), out, n); });
}

Answer lib_stream_url(const std::string &settings, const std::string &entry) {
    return call_sized(
        [&](char *out, int32_t n) { return vqiptv_stream_url(settings.c_str(), entry.c_str(), out, n); });
}

int exit_for_status(int32_t status) {
    switch (status) {
        case QVX_OK: return kExitOk;
        case QVX_E_ACCESS: return kExitRefused;
        case QVX_E_NOT_FOUND: return kExitNotFound;
        case QVX_E_RATE_LIMITED: return kExitRateLimited;
        case QVX_E_NETWORK: return kExitNetwork;
        case QVX_E_CONTENT: return kExitContent;
        case QVX_E_UNSUPPORTED: return kExitUnsupported;
        case QVX_E_INVALID: return kExitInvalid;
        default: return kExitFailure;
    }
}

namespace {

// The host part no real server answers for, so a --file URL never leaves the process.
constexpr const char *kFileHost = "http://file.invalid";

bool unreserved(char c) { return vq_is_alnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/'; }

std::string settings_for(const std::string &url) { return "{\"URL\":" + json_string(url) + "}"; }

// The settings members that --user-agent and --header ask for, each after a
// comma when members stand before it.
std::string request_members(const Options &opts, bool after_others) {
    std::string out;
    auto start = [&](const char *key) { out.append(after_others || !out.empty() ? "," : "").append(key); };
    if (opts.user_agent_given) start("\"UserAgent\":"), out += json_string(opts.user_agent);
    if (opts.headers.empty()) return out;
    start("\"Headers\":{");
    for (size_t i = 0; i < opts.headers.size(); ++i)
        out.append(i ? "," : "").append(json_string(opts.headers[i].first)).append(":").append(
            json_string(opts.headers[i].second));
    return out + "}";
}

Prepared serve_file(const std::string &path) {
    Prepared p;
    std::string bytes;
    p.exit = read_file(path, bytes, p.error);
    if (p.exit != kExitOk) return p;
    std::string url = file_url(path);
    if (quorvex_fake_set("GET", url.c_str(), 200, nullptr, bytes.data(), bytes.size()) != 0)
        return {kExitFailure, "", "cannot serve " + file_name(path) + " to the library"};
    vqiptv_use_fake();
    p.settings = settings_for(url);
    return p;
}

// The network: metered when someone watches stderr, the library's own otherwise.
int use_network(std::string &error) {
    const quorvex_http *curl = quorvex_http_curl();
    if (curl && isatty(STDERR_FILENO)) {
        vqiptv_set_io(metered_io(curl, stderr));
        return kExitOk;
    }
    if (vqiptv_use_curl() == 0) return kExitOk;
    error = "this build has no network transport (use --file)";
    return kExitUnsupported;
}

}  // namespace

std::string json_string(const std::string &s) {
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    w.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
    return sb.GetString();
}

std::string file_url(const std::string &path) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(path, ec);
    std::string url = kFileHost;
    for (char c : (ec ? path : abs.generic_string())) {
        if (unreserved(c)) {
            url += c;
        } else {
            url += '%';
            url += vq_hex_upper(static_cast<unsigned char>(c) >> 4);
            url += vq_hex_upper(static_cast<unsigned char>(c));
        }
    }
    return url;
}

std::string file_name(const std::string &path) { return path == "-" ? "standard input" : path; }

int read_stream(FILE *f, std::string &bytes, size_t limit) {
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) {
        if (bytes.size() > limit || n > limit - bytes.size()) return EFBIG;
        bytes.append(chunk, n);
    }
    return std::ferror(f) ? EIO : 0;
}

int read_file(const std::string &path, std::string &bytes, std::string &error) {
    std::error_code ec;
    int err = 0;
    if (path == "-") {
        err = read_stream(stdin, bytes, kMaxInput);
    } else if (std::filesystem::is_directory(path, ec)) {
        err = EISDIR;
    } else if (FILE *f = std::fopen(path.c_str(), "rb")) {
        // One block of the file's size, not a block grown by doubling.
        if (uintmax_t size = std::filesystem::file_size(path, ec); !ec && size <= kMaxInput) bytes.reserve(size);
        err = read_stream(f, bytes, kMaxInput);
        std::fclose(f);
    } else {
        err = errno;
    }
    if (err == 0) return kExitOk;
    error = "cannot read " + file_name(path) + ": " + std::strerror(err);
    return err == ENOENT || err == ENOTDIR ? kExitNotFound : kExitRefused;
}

Prepared prepare_source(const Options &opts) {
    if (opts.source == SourceKind::file) return serve_file(opts.source_value);
    Prepared p;
    p.exit = use_network(p.error);
    if (opts.source == SourceKind::settings) p.settings = opts.source_value;
    else p.settings = opts.source == SourceKind::url ? settings_for(opts.source_value) : "{}";
    p.settings.insert(p.settings.size() - 1, request_members(opts, p.settings.size() > 2));
    return p;
}

}  // namespace vqt

// vqiptv check against loopback channels, end to end: a tenth of them stall
// (a listener that never accepts), a tenth are slow (nginx sending
// 1 KiB a second), the rest answer at once (nginx, a TS file), each under a
// URL of its own. Checked with --jobs 32 --timeout 5, for 1,000 channels and
// for 10,000; prints the wall time, the tool's processor time and peak
// resident memory, and the verdicts' summary. Not a test: nothing is asserted.
// Run: check_bench [channels...]   (default: 1000 10000)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nginx_server.h"
#include "wire_socket.h"

namespace {

std::string playlist(int channels, const nginx_server &nginx, int stall_port) {
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < channels; ++i) {
        std::string n = std::to_string(i);
        std::string url = i % 10 == 0   ? "http://127.0.0.1:" + std::to_string(stall_port) + "/stall?n=" + n
                          : i % 10 == 1 ? nginx.http("/slow/clip.ts?n=" + n)
                                        : nginx.http("/clip.ts?n=" + n);
        text += "#EXTINF:-1 group-title=\"G" + std::to_string(i % 20) + "\",Channel " + n + "\n" + url + "\n";
    }
    return text;
}

struct Outcome {
    double seconds, cpu_seconds;
    long peak_kib;
    std::string summary;
};

// Runs the tool on the playlist file, its output into a file; wait4 gives its peak memory.
Outcome check(const std::string &list, const std::string &out) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen(out.c_str(), "w", stdout))
            ::execl(VQIPTV_BIN, "vqiptv", "check", "--file", list.c_str(), "--jobs", "32", "--timeout", "5", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    auto cpu = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    Outcome o{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss, ""};
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) o.summary = line;
    return o;
}

}  // namespace

int main(int argc, char **argv) {
    std::string dir = std::filesystem::temp_directory_path() / ("qvx-check-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir + "/www/slow");
    ::chmod(dir.c_str(), 0755);
    std::string cmd = "ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=10 -t 2 -c:v mpeg2video "
                      "-f mpegts " + dir + "/www/clip.ts";
    if (std::system(cmd.c_str()) != 0) return std::fprintf(stderr, "ffmpeg failed\n"), 1;
    std::filesystem::copy_file(dir + "/www/clip.ts", dir + "/www/slow/clip.ts");
    nginx_server nginx({dir + "/www", "", "location /slow/ { limit_rate 1k; }\n"});
    // A listener that never accepts stalls whoever connects (and, once its
    // queue is full, whoever tries to).
    int stall_port = 0;
    wire_socket::handle stalling = wire_socket::listen_loopback(&stall_port);
    if (!nginx.ok() || stalling == wire_socket::none) return std::fprintf(stderr, "servers: %s\n", nginx.error().c_str()), 1;
    std::printf("%-9s %9s %9s %12s  %s\n", "channels", "seconds", "CPU s", "peak RSS", "summary");
    std::fflush(stdout);  // before any fork
    std::vector<int> counts = {1000, 10000};
    if (argc > 1) counts.assign(argc - 1, 0);
    for (int i = 1; i < argc; ++i) counts[i - 1] = std::atoi(argv[i]);
    for (int channels : counts) {
        std::string list = dir + "/list" + std::to_string(channels) + ".m3u";
        std::ofstream(list) << playlist(channels, nginx, stall_port);
        Outcome o = check(list, dir + "/out.txt");
        std::printf("%-9d %9.1f %9.2f %8ld KiB  %s\n", channels, o.seconds, o.cpu_seconds, o.peak_kib,
                    o.summary.c_str());
        std::fflush(stdout);
    }
    wire_socket::close(stalling);
    std::filesystem::remove_all(dir);
    return 0;
}

#include "bench_inputs.h"

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/alloc.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The child's side: the peak is the high-water mark of the resident set since
// it was reset, less the pages the child inherited. The heap blocks an earlier
// benchmark freed are given back first: resident already, they would serve the
// listing's blocks without adding to the count.
cold_run measure(int (*op)(const void *), const void *arg) {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    long before_kb = status_kb("VmRSS:");
    vq_mem_track(true);
    auto start = std::chrono::steady_clock::now();
    double cpu_start = cpu_seconds();
    int rc = op(arg);
    double cpu = cpu_seconds() - cpu_start;
    std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    long peak_kb = status_kb("VmHWM:");
    auto seam_peak = static_cast<double>(vq_mem_peak());
    return {cpu, wall.count(), static_cast<double>(peak_kb - before_kb) * 1024.0, seam_peak, rc};
}

}  // namespace

double cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string big_playlist(const std::string &size) {
    std::string path = "/tmp/big_" + size + ".m3u";
    if (!std::ifstream(path).good()) {
        const char *env = std::getenv("QVX_BIG_PLAYLIST_TOOL");
        std::string cmd = "python3 " + std::string(env ? env : QVX_BIG_PLAYLIST_TOOL) + " " + size + " -o " + path;
        if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0) std::fprintf(stderr, "cannot run %s\n", cmd.c_str());
    }
    return slurp(path);
}

long status_kb(const char *name) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, std::strlen(name), name) == 0) return std::atol(line.c_str() + std::strlen(name));
    return 0;
}

cold_run in_fresh_process(int (*op)(const void *), const void *arg) {
    cold_run died{0, 0, 0, 0, -1000};
    int fds[2];
    if (pipe(fds) != 0) return died;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        // A forked child inherits the allocator's history: after the big blocks
        // the benchmark itself freed, glibc would serve blocks of up to 32 MiB
        // from its heap. A fresh process starts from the default threshold.
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        cold_run r = measure(op, arg);
        ssize_t ignored = write(fds[1], &r, sizeof r);
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    cold_run r = died;
    if (pid < 0 || read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = died;
    close(fds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return r;
}

// Inputs and measurements shared by the client benchmarks.
#pragma once
#include <string>

// The generated playlist of the given size ("10M", "60M"), made with the
// corpus tool into /tmp on first use.
std::string big_playlist(const std::string &size);

// Processor time (user and system) the process has used so far.
double cpu_seconds();

// Kilobytes of a "Name:   123 kB" line of /proc/self/status.
long status_kb(const char *name);

// What one run of an operation in a fresh process measured: the processor time
// it took (user and system, page faults included: on a shared machine a far
// steadier measure than the wall clock, which is kept beside it), the resident
// memory it added at its peak, the peak of the bytes live in the library's
// allocation seam, and the operation's result.
struct cold_run {
    double seconds;
    double wall_seconds;
    double peak_bytes;
    double seam_peak_bytes;
    int rc;
};

// Forks a child that runs op once and reports; rc is -1000 when the child died.
cold_run in_fresh_process(int (*op)(const void *), const void *arg);

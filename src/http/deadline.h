// The time by which every exchange the calling thread starts must be over.
// The playlist fetch bounds its whole run, all its hops together, and the
// request record has no field for that: the idle limits it carries count from
// the last byte, so a server that keeps sending a little at a time would hold
// the caller for as long as it likes. The library's own transports wait no
// longer than to this time and then fail with "deadline passed"; a host's
// transport knows nothing of it (the fetch's sinks stop its exchange instead).
#pragma once
#include <cstdint>

// Sets the deadline of the calling thread (monotonic milliseconds, as
// vqp::now_ms counts them) for the scope's life, and restores the one before.
class quorvex_deadline_scope {
public:
    explicit quorvex_deadline_scope(uint64_t at_ms);
    ~quorvex_deadline_scope();
    quorvex_deadline_scope(const quorvex_deadline_scope &) = delete;
    quorvex_deadline_scope &operator=(const quorvex_deadline_scope &) = delete;

private:
    uint64_t before_;
};

// Milliseconds from now_ms until the calling thread's deadline, at most
// limit_ms: limit_ms when none is set, 0 once it has passed.
uint64_t quorvex_deadline_left(uint64_t now_ms, uint64_t limit_ms);

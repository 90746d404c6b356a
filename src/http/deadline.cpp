#include "http/deadline.h"

namespace {
thread_local uint64_t t_deadline_ms;  // 0: none
}  // namespace

quorvex_deadline_scope::quorvex_deadline_scope(uint64_t at_ms) : before_(t_deadline_ms) { t_deadline_ms = at_ms; }

quorvex_deadline_scope::~quorvex_deadline_scope() { t_deadline_ms = before_; }

uint64_t quorvex_deadline_left(uint64_t now_ms, uint64_t limit_ms) {
    if (!t_deadline_ms) return limit_ms;
    if (now_ms >= t_deadline_ms) return 0;
    uint64_t left = t_deadline_ms - now_ms;
    return left < limit_ms ? left : limit_ms;
}

// The allocation-fault sweep: an operation is run again and again with its
// k-th allocation failing, k = 1, 2, ..., until a run no longer reaches the
// fault. Each run whose fault fired is judged as a shortage, the first run that
// went through untouched as the clean answer; the sanitizer build proves that
// nothing leaks on the way.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "common/alloc.h"

// More allocations than any operation of the suite makes: a sweep that runs
// this long is not ending.
constexpr long k_sweep_max = 20000;

// attempt(k) arms vq_alloc_fail_nth(k) where the fault may start (after setup
// that must not fail) and answers what the operation gave. Each run whose
// fault fired goes to faulted(k, result) (inside a trace naming k), the first
// untouched run to clean(result). A sweep whose first fault never fires (the
// operation never reaches the seam) or that does not end fails the test.
// Answers the number of faulted runs: the allocations the operation makes.
template <class Attempt, class Faulted, class Clean>
long alloc_sweep(Attempt attempt, Faulted faulted, Clean clean) {
    for (long k = 1; k <= k_sweep_max; ++k) {
        vq_alloc_fail_nth(0);  // no stale fault from the previous run
        auto result = attempt(k);
        bool fired = vq_alloc_fault_hit();
        vq_alloc_disarm();
        if (!fired) {
            EXPECT_GT(k, 1) << "the operation never reached the allocation seam";
            clean(result);
            return k - 1;
        }
        SCOPED_TRACE("allocation " + std::to_string(k) + " failed");
        faulted(k, result);
    }
    ADD_FAILURE() << "the sweep did not end within " << k_sweep_max << " allocations";
    return k_sweep_max;
}

template <class Attempt, class Faulted>
long alloc_sweep(Attempt attempt, Faulted faulted) {
    return alloc_sweep(attempt, faulted, [](const auto &) {});
}

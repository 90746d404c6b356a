// A heap text held for one thread. Texts that a caller reads after a call,
// without a lock, are kept in a thread_local one of these: another thread's
// call can neither replace nor free them, and the thread's last text goes when
// it keeps the next one or when the thread ends (the C++ runtime runs the
// destructor at thread exit, also for threads the host made itself).
#pragma once
#include "common/alloc.h"

class vq_thread_text {
public:
    constexpr vq_thread_text() = default;
    vq_thread_text(const vq_thread_text &) = delete;
    vq_thread_text &operator=(const vq_thread_text &) = delete;
    ~vq_thread_text() { vq_free(text_); }

    // Takes text (from the allocation seam, or null) and releases the one before.
    void keep(char *text) {
        vq_free(text_);
        text_ = text;
    }
    const char *get() const { return text_; }

private:
    char *text_ = nullptr;
};

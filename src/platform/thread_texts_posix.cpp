// Per-thread texts on POSIX: a thread_local record whose destructor releases
// them. glibc runs it when the thread ends (the main thread's at exit) and
// keeps the module loaded until every thread's has run.
#include "platform/platform.h"

namespace vqp {

namespace {
struct thread_texts {
    char *text[kThreadTextSlots] = {};
    void (*release[kThreadTextSlots])(void *) = {};

    void put(unsigned slot, char *t, void (*r)(void *)) {
        if (text[slot]) release[slot](text[slot]);
        text[slot] = t;
        release[slot] = r;
    }
    ~thread_texts() {
        for (unsigned i = 0; i < kThreadTextSlots; ++i) put(i, nullptr, nullptr);
    }
};

thread_local thread_texts t_texts;
}  // namespace

bool keep_thread_text(unsigned slot, char *text, void (*release)(void *)) {
    if (slot >= kThreadTextSlots) {
        if (text) release(text);
        return false;
    }
    t_texts.put(slot, text, release);
    return true;
}

const char *thread_text(unsigned slot) { return slot < kThreadTextSlots ? t_texts.text[slot] : nullptr; }

}  // namespace vqp

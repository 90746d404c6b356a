// Per-thread texts on Windows: a heap record in a fiber-local slot whose
// callback releases the texts when the thread (or fiber) ends. Nothing of it
// lives in the C++ runtime's thread_local storage, which mingw's runtime may
// free before thread_local destructors run. The slot is freed when the module
// is unloaded, which runs the callback for the records still held, so no
// thread ends later into code that is gone.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace vqp {

namespace {
struct thread_texts {
    char *text[kThreadTextSlots];
    void (*release[kThreadTextSlots])(void *);
};

void put(thread_texts *r, unsigned slot, char *t, void (*release)(void *)) {
    if (r->text[slot]) r->release[slot](r->text[slot]);
    r->text[slot] = t;
    r->release[slot] = release;
}

void WINAPI release_record(void *p) {
    auto *r = static_cast<thread_texts *>(p);
    if (!r) return;
    for (unsigned i = 0; i < kThreadTextSlots; ++i) put(r, i, nullptr, nullptr);
    std::free(r);
}

struct fls_slot {
    DWORD index = FlsAlloc(release_record);
    ~fls_slot() {
        if (index != FLS_OUT_OF_INDEXES) FlsFree(index);
    }
};

DWORD slot_index() {
    static fls_slot slot;
    return slot.index;
}

thread_texts *record(bool make) {
    DWORD index = slot_index();
    if (index == FLS_OUT_OF_INDEXES) return nullptr;
    auto *r = static_cast<thread_texts *>(FlsGetValue(index));
    if (r || !make) return r;
    r = static_cast<thread_texts *>(std::calloc(1, sizeof *r));
    if (r && !FlsSetValue(index, r)) {
        std::free(r);
        r = nullptr;
    }
    return r;
}
}  // namespace

bool keep_thread_text(unsigned slot, char *text, void (*release)(void *)) {
    thread_texts *r = slot < kThreadTextSlots ? record(text != nullptr) : nullptr;
    if (!r) {
        if (text) release(text);
        return !text && slot < kThreadTextSlots;
    }
    put(r, slot, text, release);
    return true;
}

const char *thread_text(unsigned slot) {
    thread_texts *r = slot < kThreadTextSlots ? record(false) : nullptr;
    return r ? r->text[slot] : nullptr;
}

}  // namespace vqp

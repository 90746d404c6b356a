// A heap text held for the calling thread. Texts that a caller reads after a
// call, without a lock, are kept in one of these: another thread's call can
// neither replace nor free them, and a thread's last text goes when it keeps
// the next one or when the thread ends (see vqp::keep_thread_text).
#pragma once
#include "common/alloc.h"
#include "platform/platform.h"

// Each kind of text has its slot.
enum vq_thread_text_slot : unsigned { kResultDocumentSlot, kFakeRequestSlot };

class vq_thread_text {
public:
    explicit constexpr vq_thread_text(vq_thread_text_slot slot) : slot_(slot) {}

    // Takes text (from the allocation seam, or null) and releases the one
    // before; false, with text released, when the thread could keep none.
    bool keep(char *text) const { return vqp::keep_thread_text(slot_, text, vq_free); }
    const char *get() const { return vqp::thread_text(slot_); }

private:
    vq_thread_text_slot slot_;
};

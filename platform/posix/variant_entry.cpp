// POSIX stand-in for a variant library's DllMain: the constructor is process
// attach, the destructor process detach, and the TLS slot's per-thread
// destructor (platform.cpp) thread detach. Threads get their context lazily.
// Linked by every variant.
#include <cstdint>

#include "platform/posix/attach_note.h"
#include "runtime/lifecycle.h"

// A constructor cannot make dlopen fail, so the outcome of process attach is
// left here for the front library, which unloads a variant whose attach was
// refused and goes on to the next name of its row. The note below locates the
// word without a dynamic symbol, so the exports stay exactly the sixteen.
extern "C" {
__attribute__((visibility("hidden"))) volatile std::uint32_t qelAttachOutcome = QEL_ATTACH_PENDING;
}

#define QEL_STRINGIFY2(x) #x
#define QEL_STRINGIFY(x) QEL_STRINGIFY2(x)

asm(".pushsection " QEL_ATTACH_NOTE_SECTION ", \"a\", @note\n"
    "\t.balign 4\n"
    "\t.long 9\n"
    "\t.long 4\n"
    "\t.long " QEL_STRINGIFY(QEL_ATTACH_NOTE_TYPE) "\n"
    "\t.asciz \"" QEL_ATTACH_NOTE_OWNER "\"\n"
    "\t.balign 4\n"
    ".Lqel_attach_descriptor:\n"
    "\t.long qelAttachOutcome - .Lqel_attach_descriptor\n"
    "\t.popsection\n");

namespace {

__attribute__((constructor)) void onLoad() {
    if (qelVariantNotify(QEL_PROCESS_ATTACH)) {
        qelAttachOutcome = QEL_ATTACH_DONE;
        return;
    }
    // As on Windows after a refused attach, detach runs at once and releases
    // what attach had taken; the library is then unloaded unused.
    qelVariantNotify(QEL_PROCESS_DETACH);
    qelAttachOutcome = QEL_ATTACH_REFUSED;
}

__attribute__((destructor)) void onUnload() {
    if (qelAttachOutcome == QEL_ATTACH_DONE) qelVariantNotify(QEL_PROCESS_DETACH);
    qelAttachOutcome = QEL_ATTACH_PENDING;
}

}  // namespace

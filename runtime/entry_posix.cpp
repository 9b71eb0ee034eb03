// SPDX-License-Identifier: MIT
// POSIX stand-in for a variant library's DllMain: the constructor is process
// attach, the destructor process detach, and the TLS slot's per-thread
// destructor (platform.cpp) thread detach. Threads get their context lazily.
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"
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

// exit() runs the destructor while other threads may still be computing with
// their contexts, which must then be left alone (Windows stops those threads
// first and says so in DllMain's reserved word). exit() runs the handlers
// registered by atexit after main began before the destructors of libraries;
// dlclose runs this library's handlers after its destructor. So a handler,
// registered when a context is first made on demand, marks the process's end.
std::atomic<bool> processEnding{false};
std::atomic<bool> endWatched{false};

void markProcessEnd() { processEnding = true; }

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
    if (qelAttachOutcome == QEL_ATTACH_DONE) qelVariantNotify(QEL_PROCESS_DETACH, processEnding.load());
    qelAttachOutcome = QEL_ATTACH_PENDING;
}

}  // namespace

void qel::watchForProcessEnd() {
    // Contexts made on demand come after main began, also where the front
    // library loads this one while the program starts (the loading thread's
    // context is made at attach); registered then, the handler would run
    // after the destructors.
    if (endWatched.exchange(true)) return;
    if (std::atexit(markProcessEnd) != 0) endWatched = false;
}

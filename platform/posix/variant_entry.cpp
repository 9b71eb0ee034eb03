// POSIX stand-in for a variant library's DllMain: the constructor is process
// attach, the destructor process detach, and the TLS slot's per-thread
// destructor (platform.cpp) thread detach. Threads get their context lazily.
#include "runtime/lifecycle.h"

namespace {

__attribute__((constructor)) void onLoad() {
    // As on Windows after a refused attach, detach runs at once and releases
    // what attach had taken.
    if (!qelVariantNotify(QEL_PROCESS_ATTACH)) qelVariantNotify(QEL_PROCESS_DETACH);
}

__attribute__((destructor)) void onUnload() { qelVariantNotify(QEL_PROCESS_DETACH); }

}  // namespace

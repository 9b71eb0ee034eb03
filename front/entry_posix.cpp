// SPDX-License-Identifier: MIT
// POSIX stand-in for the front library's DllMain: the constructor is process
// attach, the destructor process detach.
#include <unistd.h>

#include "front/loader.h"
#include "platform/process_events.h"

namespace {

__attribute__((constructor)) void onLoad() {
    // A constructor cannot fail its library's load. After the message, the
    // process ends as the dynamic loader ends one whose library is missing:
    // status 127, no exit handlers, since the program never started.
    if (!qelFrontNotify(QEL_PROCESS_ATTACH)) _exit(127);
}

__attribute__((destructor)) void onUnload() { qelFrontNotify(QEL_PROCESS_DETACH); }

}  // namespace

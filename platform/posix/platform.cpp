// POSIX backend of the platform layer: a pthread key for the TLS slot, calloc
// for zero-filled blocks, standard error and abort for the fatal exit.
#include "platform/platform.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/lifecycle.h"

namespace qel::platform {

namespace {

TlsIndex detachKey = kTlsOutOfIndexes;

// pthread clears the value before calling the destructor; put it back so the
// thread-detach handling finds the context in the slot as on Windows.
void onThreadExit(void* value) {
    pthread_setspecific(static_cast<pthread_key_t>(detachKey), value);
    qelVariantNotify(QEL_THREAD_DETACH);
}

bool valid(TlsIndex index) { return index != kTlsOutOfIndexes; }

}  // namespace

TlsIndex tlsAlloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, onThreadExit) != 0) return kTlsOutOfIndexes;
    detachKey = static_cast<TlsIndex>(key);
    return detachKey;
}

void* tlsGetValue(TlsIndex index) {
    return valid(index) ? pthread_getspecific(static_cast<pthread_key_t>(index)) : nullptr;
}

bool tlsSetValue(TlsIndex index, void* value) {
    return valid(index) && pthread_setspecific(static_cast<pthread_key_t>(index), value) == 0;
}

bool tlsFree(TlsIndex index) {
    if (!valid(index)) return false;
    if (index == detachKey) detachKey = kTlsOutOfIndexes;
    return pthread_key_delete(static_cast<pthread_key_t>(index)) == 0;
}

void* localAllocZeroInit(std::size_t bytes) { return std::calloc(1, bytes); }

void localFree(void* block) { std::free(block); }

void fatalAppExit(const char* message) {
    // Only async-signal-safe calls: the process may be in any state here.
    ssize_t ignored = write(STDERR_FILENO, message, std::strlen(message));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    std::abort();
}

}  // namespace qel::platform

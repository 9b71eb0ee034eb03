// SPDX-License-Identifier: MIT
// POSIX backend of the platform layer: a pthread key for the TLS slot, a
// pthread mutex for the list lock, calloc for zero-filled blocks, standard
// error and abort for the fatal exit.
#include "platform/platform.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace qel::platform {

namespace {

// The key whose destructor is thread detach; read by exiting threads while
// process detach may delete it.
std::atomic<TlsIndex> detachKey{kTlsOutOfIndexes};

// Thread detach itself, set before the key is published through detachKey
// (whose atomic store and load order it for the exiting threads).
ThreadExitHandler threadExitHandler = nullptr;

// Destructors of the detach key that have begun and not yet returned. The
// library's code must stay mapped until they are done, so deleting the key
// waits for them.
std::atomic<int> exitsInProgress{0};

pthread_mutex_t listLock = PTHREAD_MUTEX_INITIALIZER;
bool forkHandlersSet = false;

// pthread clears the value before calling the destructor; put it back so the
// thread-detach handling finds the context in the slot as on Windows. When
// process detach has deleted the key meanwhile, it has freed the context too.
void onThreadExit(void* value) {
    exitsInProgress.fetch_add(1);
    const TlsIndex key = detachKey.load();
    if (key != kTlsOutOfIndexes && pthread_setspecific(static_cast<pthread_key_t>(key), value) == 0 &&
        threadExitHandler != nullptr)
        threadExitHandler();
    exitsInProgress.fetch_sub(1);
}

// A child of fork has only the forking thread: the lock must not be left
// held by a thread that does not exist there, nor a destructor counted.
void lockBeforeFork() { pthread_mutex_lock(&listLock); }
void unlockAfterFork() { pthread_mutex_unlock(&listLock); }
void resetInChild() {
    exitsInProgress.store(0);
    pthread_mutex_unlock(&listLock);
}

bool valid(TlsIndex index) { return index != kTlsOutOfIndexes; }

}  // namespace

void setThreadExitHandler(ThreadExitHandler handler) { threadExitHandler = handler; }

TlsIndex tlsAlloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, onThreadExit) != 0) return kTlsOutOfIndexes;
    detachKey.store(static_cast<TlsIndex>(key));
    return static_cast<TlsIndex>(key);
}

void* tlsGetValue(TlsIndex index) {
    return valid(index) ? pthread_getspecific(static_cast<pthread_key_t>(index)) : nullptr;
}

bool tlsSetValue(TlsIndex index, void* value) {
    return valid(index) && pthread_setspecific(static_cast<pthread_key_t>(index), value) == 0;
}

bool tlsFree(TlsIndex index) {
    if (!valid(index)) return false;
    // After the delete the C library calls no destructor for the key at
    // thread exit (its values no longer match the key); a destructor that
    // began before must end before the library may be unmapped.
    const bool deleted = pthread_key_delete(static_cast<pthread_key_t>(index)) == 0;
    TlsIndex expected = index;
    if (detachKey.compare_exchange_strong(expected, kTlsOutOfIndexes)) {
        while (exitsInProgress.load() != 0) sched_yield();
    }
    return deleted;
}

void initializeListLock() {
    // The mutex is initialised statically. The fork handlers belong to this
    // copy of the library: the C library drops them when it is unloaded.
    if (forkHandlersSet) return;
    forkHandlersSet = pthread_atfork(lockBeforeFork, unlockAfterFork, resetInChild) == 0;
}

void enterListLock() { pthread_mutex_lock(&listLock); }

void leaveListLock() { pthread_mutex_unlock(&listLock); }

void deleteListLock() {}

void* localAllocZeroInit(std::size_t bytes) { return std::calloc(1, bytes); }

void localFree(void* block) { std::free(block); }

bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size) {
    buffer[0] = '\0';
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') return false;
    const std::size_t length = std::min(std::strlen(value), size - 1);
    std::memcpy(buffer, value, length);
    buffer[length] = '\0';
    return true;
}

// Linux keeps the caller's x87 precision: 64 bits unless the caller chose
// otherwise.
std::uint32_t enterExtendedPrecision() { return 0; }

void leaveExtendedPrecision(std::uint32_t) {}

void fatalAppExit(const char* message) {
    // Only async-signal-safe calls: the process may be in any state here.
    ssize_t ignored = write(STDERR_FILENO, message, std::strlen(message));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    std::abort();
}

}  // namespace qel::platform

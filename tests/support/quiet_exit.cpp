// SPDX-License-Identifier: MIT
// Death-test child side of ZV_EXPECT_QUIET_EXIT1.
#include "tests/support/quiet_exit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define ZV_DUP2 _dup2
#else
#include <unistd.h>
#define ZV_DUP2 dup2
#endif

namespace zv::test {

namespace {

struct Watched {
    const unsigned char* where;
    std::vector<unsigned char> before;
};
std::vector<Watched>* watched;

void checkAtExit() {
    for (const Watched& w : *watched) {
        if (std::memcmp(w.where, w.before.data(), w.before.size()) != 0) {
            std::fputs("an output was written before the process ended\n", stderr);
            std::fflush(stderr);
            std::_Exit(2);
        }
    }
}

void watch(const void* bytes, std::size_t count) {
    if (watched == nullptr) {
        watched = new std::vector<Watched>;
        std::atexit(checkAtExit);
    }
    if (bytes == nullptr || count == 0) return;
    const auto* p = static_cast<const unsigned char*>(bytes);
    watched->push_back({p, std::vector<unsigned char>(p, p + count)});
}

}  // namespace

void watchUntouched(const void* bytes, std::size_t count) {
    std::fflush(stdout);
    ZV_DUP2(2, 1);
    watch(bytes, count);
}

void watchUntouched2(const void* a, std::size_t aCount, const void* b, std::size_t bCount) {
    watchUntouched(a, aCount);
    watch(b, bCount);
}

}  // namespace zv::test

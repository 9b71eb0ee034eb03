// SPDX-License-Identifier: MIT
// Checks a failed argument check as a user sees it: the process ends with
// exit code 1, prints nothing on stdout or stderr, and the watched output
// bytes are as they were. The statement runs in a child process: on POSIX a
// GoogleTest death-test child; on Windows a child of this runner's own
// (quiet_exit.cpp says why), which runs the same program and test up to this
// check.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>

namespace zv::test {

// In the child: join stdout to the captured stderr, remember the watched
// bytes, and at exit turn any change to them into exit code 2 with a message.
void watchUntouched(const void* bytes, std::size_t count);
void watchUntouched2(const void* a, std::size_t aCount, const void* b, std::size_t bCount);

#if defined(_WIN32)
// Counts the checks of the running test: true in the child started for this
// one (which then runs the statement), false elsewhere.
bool quietExitChildRunsThis();
// In the parent (not in a child, which skips the checks before its own):
// runs the test in a new process up to the check just counted and records a
// failure unless that process ended with code 1 and printed nothing.
void expectQuietExitOfChild(const char* statement, const char* file, int line);
bool inQuietExitChild();
// How long a child may take before it is ended and the check fails.
void setQuietExitTimeLimit(unsigned milliseconds);

#define ZV_QUIET_EXIT_CHECK_(watch, statement)                                         \
    do {                                                                                  \
        if (::zv::test::quietExitChildRunsThis()) {                                       \
            watch;                                                                        \
            statement;                                                                    \
            std::_Exit(99); /* returned: the check did not end the process */             \
        }                                                                                 \
        if (!::zv::test::inQuietExitChild())                                              \
            ::zv::test::expectQuietExitOfChild(#statement, __FILE__, __LINE__);           \
    } while (0)
#else
#define ZV_QUIET_EXIT_CHECK_(watch, statement)                                         \
    EXPECT_EXIT(                                                                          \
        {                                                                                 \
            watch;                                                                        \
            statement;                                                                    \
            std::_Exit(99); /* returned: the check did not end the process */             \
        },                                                                                \
        ::testing::ExitedWithCode(1), "^$")
#endif

}  // namespace zv::test

// statement must end the process; watched/bytes name the outputs.
#define ZV_EXPECT_QUIET_EXIT1(statement, watched, bytes) \
    ZV_QUIET_EXIT_CHECK_(::zv::test::watchUntouched((watched), (bytes)), statement)

#define ZV_EXPECT_QUIET_EXIT1_2(statement, watchedA, bytesA, watchedB, bytesB) \
    ZV_QUIET_EXIT_CHECK_(::zv::test::watchUntouched2((watchedA), (bytesA), (watchedB), (bytesB)), statement)

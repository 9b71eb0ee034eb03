// SPDX-License-Identifier: MIT
// Checks a failed argument check as a user sees it: the process ends with
// exit code 1, prints nothing on stdout or stderr, and the watched output
// bytes are as they were. Runs the statement in a GoogleTest death-test child.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

namespace zv::test {

// In the child: join stdout to the captured stderr, remember the watched
// bytes, and at exit turn any change to them into exit code 2 with a message.
void watchUntouched(const void* bytes, std::size_t count);
void watchUntouched2(const void* a, std::size_t aCount, const void* b, std::size_t bCount);

}  // namespace zv::test

// statement must end the process; watched/bytes name the outputs.
#define ZV_EXPECT_QUIET_EXIT1(statement, watched, bytes)                          \
    EXPECT_EXIT(                                                                  \
        {                                                                         \
            ::zv::test::watchUntouched((watched), (bytes));                       \
            statement;                                                            \
            std::_Exit(99); /* returned: the check did not end the process */     \
        },                                                                        \
        ::testing::ExitedWithCode(1), "^$")

#define ZV_EXPECT_QUIET_EXIT1_2(statement, watchedA, bytesA, watchedB, bytesB)    \
    EXPECT_EXIT(                                                                  \
        {                                                                         \
            ::zv::test::watchUntouched2((watchedA), (bytesA), (watchedB), (bytesB)); \
            statement;                                                            \
            std::_Exit(99);                                                       \
        },                                                                        \
        ::testing::ExitedWithCode(1), "^$")

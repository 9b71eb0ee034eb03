// SPDX-License-Identifier: MIT
// Many threads at once: each gets its own context and status, and a thread
// that ends leaves no memory behind (checked by LeakSanitizer in the
// sanitizer build).
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "runtime/context.h"
#include "runtime/memory.h"
#include "runtime/status.h"
#include "tests/support/latch.h"
#include "tests/support/recording_handler.h"
#include "zentavol.h"

namespace {

TEST(Threads, SixteenThreadsComputeWithTheirOwnContexts) {
    constexpr int kThreads = 16;
    constexpr int kRounds = 2000;
    std::vector<QelContext*> contexts(kThreads);
    std::vector<int> wrong(kThreads, 0);
    zv::test::Latch allHaveContexts(kThreads);  // so no context address is reused
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &contexts, &wrong, &allHaveContexts] {
            contexts[t] = qelGetContext();
            allHaveContexts.arrive_and_wait();
            // A table in the cache, as after a transform: the thread's exit
            // must free it together with the context.
            contexts[t]->bitRevTables[4] = static_cast<std::int32_t*>(qelMallocWords(16));
            zv::test::RecordingHandler handler;
            const int myStatus = -100 - t;
            qelSetStatus(myStatus);
            float v[37];
            float w[37];
            for (int round = 0; round < kRounds; ++round) {
                qelsbSet(static_cast<float>(t), v, 37);
                qelsbSet(2.0f, w, 37);
                qelsbMpy2(w, v, 37);
                qelsbAdd1(1.0f, v, 37);
                qelsbMpy1(0.5f, v, 37);
                qelsbAdd2(w, v, 37);
                for (float x : v) wrong[t] += x != static_cast<float>(t) + 2.5f;
                qelsbSet(1.0f, v, 0);  // a report on this thread only
                wrong[t] += qelGetStatus() != QEL_STATUS_BAD_ARGUMENT;
                qelSetStatus(myStatus);
            }
            wrong[t] += static_cast<int>(handler.reports().size()) != kRounds;
            wrong[t] += qelGetContext() != contexts[t];
            wrong[t] += qelGetStatus() != myStatus;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(std::set<QelContext*>(contexts.begin(), contexts.end()).size(), size_t{kThreads});
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace

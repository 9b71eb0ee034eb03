// SPDX-License-Identifier: MIT
// A single-use count-down latch for tests that line threads up. std::latch
// is not used: with MinGW's C++ library (its atomic wait without futexes) two
// threads passing two latches in turn deadlock under Wine.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace zv::test {

class Latch {
public:
    explicit Latch(std::ptrdiff_t count) : count_(count) {}
    Latch(const Latch&) = delete;
    Latch& operator=(const Latch&) = delete;

    // Counts down by one and waits until the count reaches zero.
    void arrive_and_wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--count_ <= 0) {
            zero_.notify_all();
            return;
        }
        zero_.wait(lock, [this] { return count_ <= 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable zero_;
    std::ptrdiff_t count_;
};

}  // namespace zv::test

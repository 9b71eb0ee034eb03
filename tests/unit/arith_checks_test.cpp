// SPDX-License-Identifier: MIT
// The argument checks of the arithmetic exports, observed through a
// recording handler: the order of the checks, the five report arguments,
// the stored status, and that nothing is written after a report.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/status.h"
#include "tests/support/recording_handler.h"
#include "tests/support/variant_traits.h"
#include "tests/support/unit_build.h"
#include "zentavol.h"

namespace {

using zv::unit::build;
using zv::test::RecordingHandler;
using zv::test::Report;

struct ArithCheck {
    std::string name;
    std::function<void(float* src, float* dst)> call;  // src/dst may be replaced by null
    const char* condition;
    const char* function;
    int line;
};

// The line numbers of this build's reports, written out: taking them from
// the constants the library reports would make a wrong number pass. Only
// qelsbSet's differs between builds (a trait of the build's row).
struct ArithLines {
    int set, add1, add2, mpy1, mpy2;
};

ArithLines linesOfThisBuild() {
    return {zv::test::traitsOfLibrary(build().libraryName).setReportLine, 363, 372, 419, 428};
}

std::vector<ArithCheck> cases() {
    const ArithLines line = linesOfThisBuild();
    std::vector<ArithCheck> all;
    auto constForm = [&](const char* fn, void (*f)(float, float*, int), int ln) {
        all.push_back({std::string(fn) + "_n0", [f](float*, float* d) { f(2.0f, d, 0); }, "n<=0", fn, ln});
        all.push_back({std::string(fn) + "_nNeg", [f](float*, float*) { f(2.0f, nullptr, -7); }, "n<=0", fn, ln});
        all.push_back({std::string(fn) + "_dst", [f](float*, float*) { f(2.0f, nullptr, 4); }, "dst==0", fn, ln});
    };
    auto vecForm = [&](const char* fn, void (*f)(const float*, float*, int), int ln) {
        all.push_back({std::string(fn) + "_n0", [f](float*, float*) { f(nullptr, nullptr, 0); }, "n<=0", fn, ln});
        all.push_back({std::string(fn) + "_nNeg", [f](float* s, float* d) { f(s, d, -1); }, "n<=0", fn, ln});
        all.push_back({std::string(fn) + "_src", [f](float*, float* d) { f(nullptr, d, 4); }, "src==0", fn, ln});
        all.push_back({std::string(fn) + "_both", [f](float*, float*) { f(nullptr, nullptr, 4); }, "src==0", fn, ln});
        all.push_back({std::string(fn) + "_dst", [f](float* s, float*) { f(s, nullptr, 4); }, "dst==0", fn, ln});
    };
    constForm("qelsbSet", qelsbSet, line.set);
    constForm("qelsbAdd1", qelsbAdd1, line.add1);
    constForm("qelsbMpy1", qelsbMpy1, line.mpy1);
    vecForm("qelsbAdd2", qelsbAdd2, line.add2);
    vecForm("qelsbMpy2", qelsbMpy2, line.mpy2);
    return all;
}

class ArithChecks : public ::testing::TestWithParam<ArithCheck> {};

TEST_P(ArithChecks, ReportsTheFirstFailedCheckOnceAndWritesNothing) {
    const ArithCheck& c = GetParam();
    float src[4] = {1, 2, 3, 4};
    float dst[4] = {5, 6, 7, 8};
    RecordingHandler handler;
    qelSetStatus(QEL_STATUS_OK);
    c.call(src, dst);
    ASSERT_EQ(handler.reports().size(), 1u);
    EXPECT_NE(c.line, -1) << "no line numbers written out for " << build().libraryName;
    EXPECT_EQ(handler.reports()[0],
              (Report{QEL_STATUS_BAD_ARGUMENT, c.function, c.condition, "qelarith", c.line}));
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
    const float srcBefore[4] = {1, 2, 3, 4};
    const float dstBefore[4] = {5, 6, 7, 8};
    EXPECT_EQ(0, std::memcmp(src, srcBefore, sizeof src));
    EXPECT_EQ(0, std::memcmp(dst, dstBefore, sizeof dst));
}

INSTANTIATE_TEST_SUITE_P(AllChecks, ArithChecks, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

TEST(ArithStatus, SuccessLeavesTheStatusAsItWas) {
    float v[3] = {1, 2, 3};
    qelSetStatus(QEL_STATUS_OUT_OF_MEMORY);
    qelsbSet(1.0f, v, 3);
    qelsbAdd1(1.0f, v, 3);
    qelsbAdd2(v, v, 3);
    qelsbMpy1(1.0f, v, 3);
    qelsbMpy2(v, v, 3);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
    qelSetStatus(QEL_STATUS_OK);
}

// The add and multiply loops leave nothing on the x87 stack (it takes
// eight values afterwards) whatever the split into blocks of 8 and leading
// elements, and the values stay right after many calls in a row.
TEST(ArithLoops, LeaveTheX87StackEmpty) {
    std::vector<float> src(40), dst(40);
    for (int n = 1; n <= 40; ++n) {
        for (int i = 0; i < n; ++i) {
            src[i] = static_cast<float>(i) + 0.5f;
            dst[i] = 2.0f;
        }
        build().addConst(1.0f, dst.data(), n);   // 3
        build().mpyConst(2.0f, dst.data(), n);   // 6
        build().addVec(src.data(), dst.data(), n);  // 6.5 + i
        build().mpyVec(src.data(), dst.data(), n);  // (6.5 + i)(0.5 + i)
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(dst[i], (6.5f + static_cast<float>(i)) * (0.5f + static_cast<float>(i))) << n << " " << i;
        volatile long double sum = 0;
        for (int k = 1; k <= 8; ++k) sum = sum + static_cast<long double>(k);
        ASSERT_EQ(sum, 36.0L) << n;
    }
}

}  // namespace

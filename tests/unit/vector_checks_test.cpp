// SPDX-License-Identifier: MIT
// The argument checks of the complex-vector, extreme and conversion
// functions and of the two internal functions behind the magnitudes,
// observed through a recording handler: order, the five report arguments,
// the stored status, the result after a report, and that nothing is written.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/status.h"
#include "tests/support/recording_handler.h"
#include "tests/support/variant_traits.h"
#include "tests/support/unit_build.h"
#include "vector/internal.h"
#include "zentavol.h"

namespace {

using zv::unit::build;
using zv::test::RecordingHandler;
using zv::test::Report;

// The buffers a call may write; all are compared with their first contents
// after the call.
struct Buffers {
    SComplex cplx[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    float real[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t bytes[16] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
};

struct VectorCheck {
    std::string name;
    std::function<void(Buffers&)> call;
    std::vector<Report> reports;
};

Report bad(const char* fn, const char* condition, const char* module, int line) {
    return {QEL_STATUS_BAD_ARGUMENT, fn, condition, module, line};
}

std::vector<VectorCheck> cases() {
    auto conj = [](const char* c) { return bad("qelcbConjExtend1", c, "qelarith", build().line.qelcbConjExtend1); };
    auto real = [](const char* c) { return bad("qelcbReal", c, "qelcvrts", 1144); };
    auto mag = [](const char* c) { return bad("qelcbMag", c, "qelcvrts", 1695); };
    auto power = [](const char* c) { return bad("qelcbPowerSpectr", c, "qelcvrts", 1916); };
    auto root = [](const char* c) { return bad("qelsbSqrt2", c, "qelvec", build().line.qelsbSqrt2); };
    auto f2i = [](const char* c) { return bad("qelsbFloatToInt", c, "qelcvrts", 347); };
    auto i2f = [](const char* c) { return bad("qelsbIntToFloat", c, "qelcvrts", 467); };
    constexpr int kNearest = QEL_CVT_NEAREST;
    return {
        {"ConjExtend_n0", [](Buffers& b) { qelcbConjExtend1(b.cplx, 0); }, {conj("n<=0")}},
        {"ConjExtend_nNeg", [](Buffers&) { qelcbConjExtend1(nullptr, -3); }, {conj("n<=0")}},
        {"ConjExtend_vec", [](Buffers&) { qelcbConjExtend1(nullptr, 3); }, {conj("vec==0")}},

        {"Real_n0", [](Buffers&) { qelcbReal(nullptr, nullptr, 0); }, {real("length<=0")}},
        {"Real_src", [](Buffers& b) { qelcbReal(nullptr, b.real, 4); }, {real("src==0")}},
        {"Real_both", [](Buffers&) { qelcbReal(nullptr, nullptr, 4); }, {real("src==0")}},
        {"Real_dst", [](Buffers& b) { qelcbReal(b.cplx, nullptr, 4); }, {real("dst==0")}},

        {"Mag_n0", [](Buffers& b) { qelcbMag(b.cplx, b.real, 0); }, {mag("length<=0")}},
        {"Mag_nNeg", [](Buffers&) { qelcbMag(nullptr, nullptr, -1); }, {mag("length<=0")}},
        // The output is checked before the source.
        {"Mag_both", [](Buffers&) { qelcbMag(nullptr, nullptr, 4); }, {mag("mag==0")}},
        {"Mag_src", [](Buffers& b) { qelcbMag(nullptr, b.real, 4); }, {mag("src==0")}},

        {"Power_n0", [](Buffers& b) { qelcbPowerSpectr(b.cplx, b.real, 0); }, {power("length<=0")}},
        {"Power_both", [](Buffers&) { qelcbPowerSpectr(nullptr, nullptr, 4); }, {power("spectr==0")}},
        {"Power_src", [](Buffers& b) { qelcbPowerSpectr(nullptr, b.real, 4); }, {power("src==0")}},

        {"Sqrt_n0", [](Buffers&) { qelsbSqrt2(nullptr, nullptr, 0); }, {root("len<=0")}},
        {"Sqrt_both", [](Buffers&) { qelsbSqrt2(nullptr, nullptr, 4); }, {root("src==0")}},
        {"Sqrt_dst", [](Buffers& b) { qelsbSqrt2(b.real, nullptr, 4); }, {root("dst==0")}},

        // The conversions make every check and report each that fails.
        {"FloatToInt_allNull",
         [](Buffers&) { qelsbFloatToInt(nullptr, nullptr, 0, 8, kNearest); },
         {f2i("len<=0"), f2i("src==0"), f2i("dst==0")}},
        {"FloatToInt_everything",
         [](Buffers&) { qelsbFloatToInt(nullptr, nullptr, -4, 24, 0x180); },
         {f2i("len<=0"), f2i("src==0"), f2i("dst==0"), f2i("Invalid size of an integer"),
          f2i("Invalid conversion flag")}},
        {"FloatToInt_len", [](Buffers& b) { qelsbFloatToInt(b.real, b.bytes, 0, 8, kNearest); },
         {f2i("len<=0")}},
        {"FloatToInt_dst", [](Buffers& b) { qelsbFloatToInt(b.real, nullptr, 4, 16, kNearest); },
         {f2i("dst==0")}},
        {"FloatToInt_size", [](Buffers& b) { qelsbFloatToInt(b.real, b.bytes, 4, 64, kNearest); },
         {f2i("Invalid size of an integer")}},
        {"FloatToInt_twoRoundings", [](Buffers& b) { qelsbFloatToInt(b.real, b.bytes, 4, 8, 0x180); },
         {f2i("Invalid conversion flag")}},
        {"FloatToInt_noRounding",
         [](Buffers& b) { qelsbFloatToInt(b.real, b.bytes, 4, 8, QEL_CVT_SATURATE); },
         {f2i("Invalid conversion flag")}},
        {"FloatToInt_allRoundings", [](Buffers& b) { qelsbFloatToInt(b.real, b.bytes, 4, 32, 0x780); },
         {f2i("Invalid conversion flag")}},
        {"IntToFloat_allNull", [](Buffers&) { qelsbIntToFloat(nullptr, nullptr, 0, 8, 0); },
         {i2f("len<=0"), i2f("src==0"), i2f("dst==0")}},
        {"IntToFloat_size24", [](Buffers& b) { qelsbIntToFloat(b.bytes, b.real, 4, 24, 0); },
         {i2f("Invalid size of an integer")}},
        {"IntToFloat_flags880", [](Buffers& b) { qelsbIntToFloat(b.bytes, b.real, 4, 8, 0x880); },
         {i2f("Invalid conversion flag")}},
        {"IntToFloat_flags1000", [](Buffers& b) { qelsbIntToFloat(b.bytes, b.real, 4, 8, 0x1000); },
         {i2f("Invalid conversion flag")}},
        {"IntToFloat_sizeAndFlags", [](Buffers& b) { qelsbIntToFloat(b.bytes, nullptr, 2, 0, 1); },
         {i2f("dst==0"), i2f("Invalid size of an integer"), i2f("Invalid conversion flag")}},
    };
}

class VectorChecks : public ::testing::TestWithParam<VectorCheck> {};

TEST_P(VectorChecks, ReportsInOrderAndWritesNothing) {
    const VectorCheck& c = GetParam();
    Buffers buffers;
    const Buffers before;
    RecordingHandler handler;
    qelSetStatus(QEL_STATUS_OUT_OF_MEMORY);
    c.call(buffers);
    EXPECT_EQ(handler.reports(), c.reports);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
    EXPECT_EQ(0, std::memcmp(&buffers, &before, sizeof buffers));
}

INSTANTIATE_TEST_SUITE_P(AllChecks, VectorChecks, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

TEST(ExtremeChecks, ReportAndReturnZero) {
    const float v[3] = {4, 5, 6};
    RecordingHandler handler;
    handler.returnValue = QEL_STATUS_BAD_ARGUMENT;
    const float results[] = {qelsMax(v, 0), qelsMax(nullptr, 5), qelsMin(v, -2), qelsMin(nullptr, 5),
                             qelsMax(nullptr, 0)};
    for (float r : results) EXPECT_EQ(std::bit_cast<std::uint32_t>(r), 0u);
    EXPECT_EQ(handler.reports(), (std::vector<Report>{bad("qelsMax", "len<=0", "qelvec", build().line.qelsMax),
                                                      bad("qelsMax", "vec==0", "qelvec", build().line.qelsMax),
                                                      bad("qelsMin", "len<=0", "qelvec", build().line.qelsMin),
                                                      bad("qelsMin", "vec==0", "qelvec", build().line.qelsMin),
                                                      bad("qelsMax", "len<=0", "qelvec", build().line.qelsMax)}));
}

// The conversions clear the status on entry (and only they do); a clean
// call leaves it at 0.
TEST(ConversionStatus, ClearedAtEntry) {
    const float f[2] = {1.5f, -2.0f};
    std::int16_t i[2] = {0, 0};
    qelSetStatus(QEL_STATUS_OUT_OF_MEMORY);
    qelsbFloatToInt(f, i, 2, 16, QEL_CVT_TRUNCATE);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OK);
    EXPECT_EQ(i[0], 1);
    EXPECT_EQ(i[1], -2);
    float back[2] = {0, 0};
    qelSetStatus(QEL_STATUS_BAD_ARGUMENT);
    qelsbIntToFloat(i, back, 2, 16, 0);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OK);
    EXPECT_EQ(back[0], 1.0f);
    EXPECT_EQ(back[1], -2.0f);
    // Everything else leaves it alone.
    SComplex z[3] = {{1, 1}, {2, 2}, {3, 3}};
    float m[3];
    qelSetStatus(QEL_STATUS_OUT_OF_MEMORY);
    qelcbConjExtend1(z, 2);
    qelcbReal(z, m, 3);
    qelcbMag(z, m, 3);
    qelcbPowerSpectr(z, m, 3);
    qelsbSqrt2(m, m, 3);
    qelsMax(m, 3);
    qelsMin(m, 3);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
    qelSetStatus(QEL_STATUS_OK);
}

// One report per out-of-range element, in element order, each carrying the
// element report's own line; the elements in range are converted, and the
// call carries on after each report that returns.
TEST(ConversionElementReports, EachOutOfRangeElementInOrder) {
    const float src[6] = {300.0f, -1.0f, 5.4f, std::nanf(""), -0.5f, 255.5f};
    std::uint8_t dst[6] = {9, 9, 9, 9, 9, 9};
    RecordingHandler handler;
    qelsbFloatToInt(src, dst, 6, 8, QEL_CVT_NEAREST | QEL_CVT_UNSIGNED | QEL_CVT_REPORT);
    const Report exceeds = bad("qelsbFloatToInt", "A float exceeds an integer", "qelcvrts",
                               build().line.qelsbFloatToIntElement);
    const Report negative = bad("qelsbFloatToInt", "A negative float cannot be converted to unsigned",
                                "qelcvrts", build().line.qelsbFloatToIntElement);
    if (!zv::test::traitsOfLibrary(build().libraryName).elementReports) {
        // Builds that report once per call, after the loop, with the one
        // text; what they write for out-of-range elements is their own.
        EXPECT_EQ(handler.reports(), (std::vector<Report>{exceeds}));
        EXPECT_EQ(dst[2], 5);
        EXPECT_EQ(dst[4], 0);
        EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
        handler.reports().clear();
        std::int8_t s[6] = {9, 9, 9, 9, 9, 9};
        qelsbFloatToInt(src, s, 6, 8, QEL_CVT_FLOOR | QEL_CVT_REPORT | QEL_CVT_SATURATE);
        EXPECT_EQ(handler.reports(), (std::vector<Report>{exceeds}));
        EXPECT_EQ(std::vector<std::int8_t>(s, s + 3), (std::vector<std::int8_t>{127, -1, 5}));
        EXPECT_EQ(std::vector<std::int8_t>(s + 4, s + 6), (std::vector<std::int8_t>{-1, 127}));
        return;
    }
    EXPECT_EQ(handler.reports(), (std::vector<Report>{exceeds, negative, exceeds, exceeds}));
    EXPECT_EQ(std::vector<std::uint8_t>(dst, dst + 6), (std::vector<std::uint8_t>{9, 9, 5, 9, 0, 9}));
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);

    // Signed types have only the one text; without the flag nothing is said.
    handler.reports().clear();
    std::int8_t s[6] = {9, 9, 9, 9, 9, 9};
    qelsbFloatToInt(src, s, 6, 8, QEL_CVT_FLOOR | QEL_CVT_REPORT | QEL_CVT_SATURATE);
    EXPECT_EQ(handler.reports(), (std::vector<Report>{exceeds, exceeds, exceeds}));
    EXPECT_EQ(std::vector<std::int8_t>(s, s + 6), (std::vector<std::int8_t>{127, -1, 5, 127, -1, 127}));
    handler.reports().clear();
    qelsbFloatToInt(src, s, 6, 8, QEL_CVT_FLOOR | QEL_CVT_SATURATE);
    EXPECT_TRUE(handler.reports().empty());
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OK);
}

}  // namespace

// SPDX-License-Identifier: MIT
// The probe's decisions on made-up register values and version answers:
// every class of the processor table with what the classification ignores,
// the identification-flag test, and the old-system test.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "front/classify.h"
#include "front/probe.h"
#include "tests/front/fake_platform.h"

namespace {

using qel::front::CpuidRegisters;
using qel::front::ProcessorInfo;

using zv::test::kMmx;
using zv::test::kSse;
using zv::test::kSse2;

// Leaf 1 EAX: extended family 27..20, extended model 19..16, family 11..8,
// model 7..4, stepping 3..0.
constexpr std::uint32_t leaf1Eax(std::uint32_t family, std::uint32_t model = 0, std::uint32_t stepping = 0,
                                 std::uint32_t extendedFamily = 0, std::uint32_t extendedModel = 0) {
    return extendedFamily << 20 | extendedModel << 16 | family << 8 | model << 4 | stepping;
}

int classify(std::uint32_t eax, std::uint32_t edx) {
    ProcessorInfo info;
    qel::front::decodeProcessorInfo(CpuidRegisters{eax, edx, 0, 0}, &info);
    return qel::front::classifyProcessorInfo(info);
}

TEST(Classification, EveryRowAndWhatItIgnores) {
    const struct {
        const char* what;
        std::uint32_t eax;
        std::uint32_t edx;
        int expected;
    } cases[] = {
        {"family 15 with SSE2", leaf1Eax(15), kMmx | kSse | kSse2, 5},
        {"family 15 with SSE2 alone", leaf1Eax(15), kSse2, 5},
        {"family 15 with SSE but no SSE2", leaf1Eax(15), kMmx | kSse, 0},
        {"family 15 without features", leaf1Eax(15), 0, 0},
        {"family 15 read from the 4-bit field, extended family ignored", leaf1Eax(15, 1, 2, 0xA, 2), kMmx | kSse | kSse2, 5},
        {"family 6 with SSE and SSE2", leaf1Eax(6), kMmx | kSse | kSse2, 4},
        {"family 6 with SSE", leaf1Eax(6), kMmx | kSse, 4},
        {"family 6 with SSE but no MMX", leaf1Eax(6), kSse, 4},
        {"family 6 with MMX", leaf1Eax(6), kMmx, 3},
        {"family 6: SSE2 without SSE is not consulted", leaf1Eax(6), kMmx | kSse2, 3},
        {"family 6 without MMX", leaf1Eax(6), 0, 0},
        {"family 6 with SSE2 alone gets 0, never 1", leaf1Eax(6), kSse2, 0},
        {"family 5 with MMX", leaf1Eax(5), kMmx, 2},
        {"family 5 with everything", leaf1Eax(5), kMmx | kSse | kSse2, 2},
        {"family 5 without MMX", leaf1Eax(5), kSse | kSse2, 0},
        {"family 4", leaf1Eax(4), kMmx | kSse | kSse2, 0},
        {"family 7", leaf1Eax(7), kMmx | kSse | kSse2, 0},
        {"family 0 with an extended family", leaf1Eax(0, 0, 0, 6), kMmx | kSse | kSse2, 0},
        {"family 14", leaf1Eax(14), kMmx | kSse | kSse2, 0},
        {"other EDX bits do not count", leaf1Eax(6), ~(kMmx | kSse | kSse2), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(classify(c.eax, c.edx), c.expected) << c.what;
}

TEST(Classification, ModelAndSteppingPlayNoPart) {
    for (std::uint32_t model = 0; model < 16; ++model) {
        for (std::uint32_t stepping = 0; stepping < 16; stepping += 5) {
            EXPECT_EQ(classify(leaf1Eax(6, model, stepping, 0, model), kMmx), 3) << model << " " << stepping;
            EXPECT_EQ(classify(leaf1Eax(5, model, stepping), kMmx), 2) << model << " " << stepping;
            EXPECT_EQ(classify(leaf1Eax(15, model, stepping), kSse2), 5) << model << " " << stepping;
        }
    }
}

TEST(ProcessorInfoRecord, FieldsComeFromTheirRegisters) {
    ProcessorInfo info;
    qel::front::decodeProcessorInfo(CpuidRegisters{0x0FA50F4Au, 0x81800001u | kSse, 0x665B5001u, 0x007A7000u},
                                    &info);
    EXPECT_EQ(info.family, 15u);
    EXPECT_EQ(info.model, 4u);
    EXPECT_EQ(info.stepping, 0xAu);
    EXPECT_EQ(info.featureFlags, 0x81800001u | kSse);
    EXPECT_EQ(info.descriptorsA, 0x665B5001u);
    EXPECT_EQ(info.descriptorsD, 0x007A7000u);
    // Flags are 0 or 1, not the bit values.
    EXPECT_EQ(info.hasMmx, 1);
    EXPECT_EQ(info.hasSse, 1);
    EXPECT_EQ(info.hasSse2, 0);
}

TEST(IdentificationFlag, OnlyBit21IsCompared) {
    EXPECT_EQ(qel::front::identificationFlagChanged(0x00000246u, 0x00200246u), 1);
    EXPECT_EQ(qel::front::identificationFlagChanged(0x00200202u, 0x00000202u), 1);
    EXPECT_EQ(qel::front::identificationFlagChanged(0x00000246u, 0x00000246u), 0);
    // Every other bit changed, bit 21 stuck: no identification instruction.
    EXPECT_EQ(qel::front::identificationFlagChanged(0x00000246u, ~0x00000246u & ~0x00200000u), 0);
    EXPECT_EQ(qel::front::identificationFlagChanged(0xFFFFFFFFu, 0xFFDFFFFFu), 1);
}

// A made-up processor for classifyWith.
int fakeHasCpuid;
int readCalls;
ProcessorInfo fakeInfo;
int answerHasCpuid() { return fakeHasCpuid; }
void answerProcessorInfo(ProcessorInfo* info) {
    ++readCalls;
    *info = fakeInfo;
}

TEST(Classification, WithoutCpuidIsClassZeroAndCpuidIsNotRun) {
    qel::front::decodeProcessorInfo(CpuidRegisters{leaf1Eax(15), kMmx | kSse | kSse2, 0, 0}, &fakeInfo);
    fakeHasCpuid = 0;
    readCalls = 0;
    EXPECT_EQ(qel::front::classifyWith({answerHasCpuid, answerProcessorInfo}), 0);
    EXPECT_EQ(readCalls, 0);
    fakeHasCpuid = 1;
    EXPECT_EQ(qel::front::classifyWith({answerHasCpuid, answerProcessorInfo}), 5);
    EXPECT_EQ(readCalls, 1);
}

TEST(Probe, ThisProcessorHasCpuidAndAClass) {
#if defined(__x86_64__)
    EXPECT_EQ(qel::front::hasCpuid(), 1);  // every x86-64 processor has it
#endif
    ProcessorInfo info;
    qel::front::readProcessorInfo(&info);
    EXPECT_EQ(qel::front::classifyProcessor(),
              qel::front::hasCpuid() ? qel::front::classifyProcessorInfo(info) : 0);
}

// The old-system test over the fake version query.
class OldWindows : public ::testing::Test {
protected:
    void SetUp() override { zv::test::resetFakeSystem(); }

    // The same answer for the extended record, or for the plain one only.
    int answerWith(bool extendedAccepted, std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
        zv::test::resetFakeSystem();
        auto& answers = zv::test::fakeSystem().versionAnswers;
        answers[qel::platform::kOsVersionInfoExSize] = {extendedAccepted, platform, major, minor};
        answers[qel::platform::kOsVersionInfoSize] = {true, platform, major, minor};
        return qel::front::isOldWindows();
    }
};

TEST_F(OldWindows, VersionsOfEachPlatform) {
    const struct {
        std::uint32_t platform, major, minor;
        int old;
    } cases[] = {
        {1, 4, 0, 1},   {1, 4, 10, 0}, {1, 4, 90, 0},         {1, 3, 95, 1}, {1, 3, 0, 1},
        {1, 5, 0, 0},   {2, 4, 0, 0},  {2, 3, 51, 0},         {2, 10, 0, 0}, {0, 3, 10, 0},
        {1, 0, 0, 1},   {1, 4, 1, 0},  {1, 0xFFFFFFFFu, 0, 0},  // the major version is unsigned
    };
    for (const auto& c : cases) {
        EXPECT_EQ(answerWith(true, c.platform, c.major, c.minor), c.old)
            << c.platform << " " << c.major << "." << c.minor;
        EXPECT_EQ(zv::test::fakeSystem().versionSizesAsked, std::vector<std::uint32_t>{156});
        // Refusing the extended record but taking the plain one answers the same.
        EXPECT_EQ(answerWith(false, c.platform, c.major, c.minor), c.old)
            << "plain record: " << c.platform << " " << c.major << "." << c.minor;
        EXPECT_EQ(zv::test::fakeSystem().versionSizesAsked, (std::vector<std::uint32_t>{156, 148}));
    }
}

TEST_F(OldWindows, BothQueriesFailingIsOld) {
    EXPECT_EQ(qel::front::isOldWindows(), 1);
    EXPECT_EQ(zv::test::fakeSystem().versionSizesAsked, (std::vector<std::uint32_t>{156, 148}));
}

}  // namespace

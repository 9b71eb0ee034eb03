// SPDX-License-Identifier: MIT
// ZENTAVOL_VARIANT over the fake platform and made-up processors: which
// values name a variant, which processors can run which variant, and what the
// choice loads and says for a taken, unknown, unrunnable or missing one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "front/loader.h"
#include "front/tables.h"
#include "runtime/lifecycle.h"
#include "tests/front/fake_platform.h"

namespace {

using qel::front::Machine;
using qel::front::OverrideState;
using zv::test::fakeSystem;
using Names = std::vector<std::string>;

using zv::test::kCmov;
using zv::test::kFpu;
using zv::test::kMmx;
using zv::test::kSse;
using zv::test::kSse2;

Machine processor(std::uint32_t family, std::uint32_t edx, int oldSystem = 0) {
    Machine machine{};
    machine.hasCpuid = 1;
    machine.registers.leaf1Eax = family << 8;
    machine.registers.leaf1Edx = edx;
    qel::front::decodeProcessorInfo(machine.registers, &machine.processor);
    machine.oldSystem = oldSystem;
    return machine;
}

std::string nameOf(int variant) { return qel::front::kVariantNames[variant]; }

TEST(OverrideCode, OnlyTheSixCodesInAnyCase) {
    for (int variant = 0; variant < 6; ++variant) {
        std::string code = qel::front::kVariantCodes[variant];
        EXPECT_EQ(qel::front::variantOfCode(code.c_str()), variant) << code;
        code[0] = static_cast<char>(code[0] - 'a' + 'A');
        EXPECT_EQ(qel::front::variantOfCode(code.c_str()), variant) << code;
    }
    for (const char* value : {"", "s", "s3", "g0", "s12", " s1", "s1 ", "Zentavols1", "libZentavols1.so",
                              "Zentavols1.dll", "./s1", "/usr/lib/s1", "s\xB9"})
        EXPECT_EQ(qel::front::variantOfCode(value), -1) << value;
    EXPECT_EQ(qel::front::variantOfCode(nullptr), -1);
}

// Which variants each processor can run, by its feature bits; and every
// variant of the processor's own row is among them.
TEST(OverrideNeeds, EachProcessorRunsTheVariantsOfItsInstructionSets) {
    struct Case {
        const char* what;
        Machine machine;
        const char* runs;  // codes, in name-table order
        bool rowRunnable = true;
    };
    Machine noCpuid{};
    const std::vector<Case> cases = {
        {"no cpuid", noCpuid, "g1"},
        {"family 4 with x87", processor(4, kFpu), "g1"},
        {"family 5 with x87", processor(5, kFpu), "g1 n1"},
        {"family 5 with MMX", processor(5, kFpu | kMmx), "g1 n1"},
        {"family 6 with cmov", processor(6, kFpu | kCmov), "g1 g2 n1"},
        {"family 6 with cmov and MMX", processor(6, kFpu | kCmov | kMmx), "g1 g2 n1 n2"},
        {"family 6 with SSE", processor(6, kFpu | kCmov | kMmx | kSse), "g1 g2 n1 n2 s1"},
        {"family 6 with SSE2", processor(6, kFpu | kCmov | kMmx | kSse | kSse2), "g1 g2 n1 n2 s1 s2"},
        {"family 15 with SSE2", processor(15, kFpu | kCmov | kMmx | kSse | kSse2), "g1 g2 n1 n2 s1 s2"},
        {"family 15 with SSE2, old system", processor(15, kFpu | kCmov | kMmx | kSse | kSse2, 1), "g1 g2 n1 n2"},
        // Family 6 without conditional moves: its row offers builds that use
        // them, which the walk passes over (FrontWalk below).
        {"family 6, SSE without cmov", processor(6, kFpu | kMmx | kSse | kSse2), "g1 n1", false},
    };
    for (const Case& c : cases) {
        std::string runs;
        for (int variant = 0; variant < 6; ++variant)
            if (qel::front::missingForVariant(variant, c.machine) == nullptr)
                runs += std::string(runs.empty() ? "" : " ") + qel::front::kVariantCodes[variant];
        EXPECT_EQ(runs, c.runs) << c.what;
        if (!c.rowRunnable) continue;
        const int row = qel::front::preferenceRowFor(c.machine.oldSystem, qel::front::classOf(c.machine));
        for (int i = 0; qel::front::kPreferenceRows[row][i] != qel::front::kRowEnd; ++i)
            EXPECT_EQ(qel::front::missingForVariant(qel::front::kPreferenceRows[row][i], c.machine), nullptr)
                << c.what << ": its row offers " << nameOf(qel::front::kPreferenceRows[row][i]);
    }
    EXPECT_STREQ(qel::front::missingForVariant(5, processor(6, kFpu | kCmov | kMmx | kSse)), "SSE2");
    EXPECT_STREQ(qel::front::missingForVariant(3, processor(5, kFpu | kMmx)), "conditional moves");
    EXPECT_STREQ(qel::front::missingForVariant(2, noCpuid), "the identification instruction (cpuid)");
}

class FrontOverride : public ::testing::Test {
protected:
    void SetUp() override {
        zv::test::resetFakeSystem();
        fakeSystem().versionAnswers[qel::platform::kOsVersionInfoExSize] = {true, 2, 5, 1};
        for (const char* name : qel::front::kVariantNames) fakeSystem().present[name];
    }
    void TearDown() override { qel::front::variantModule = nullptr; }

    // Chooses for the machine with ZENTAVOL_VARIANT set to `value`.
    qel::front::Choice choose(const Machine& machine, const std::string& value, bool secureProcess = false) {
        fakeSystem().environment[qel::front::kOverrideVariable] = value;
        qel::front::Choice choice;
        qel::front::chooseVariant(machine, secureProcess, &choice, true);
        return choice;
    }
    static std::string refusal(const std::string& value, const std::string& why) {
        return "Zentavol: ZENTAVOL_VARIANT=" + value + " refused: " + why + "; the usual choice is made";
    }
};

TEST_F(FrontOverride, EachCodeLoadsThatVariantAndSaysNothing) {
    const Machine machine = processor(15, kFpu | kCmov | kMmx | kSse | kSse2);
    for (int variant = 0; variant < 6; ++variant) {
        fakeSystem().loadRequests.clear();
        const auto choice = choose(machine, qel::front::kVariantCodes[variant]);
        EXPECT_EQ(zv::test::fakeLibraryName(choice.module), nameOf(variant));
        EXPECT_EQ(choice.overrideState, OverrideState::Taken);
        EXPECT_EQ(choice.loadedVariant, variant);
        EXPECT_EQ(fakeSystem().loadRequests, Names{nameOf(variant)});
    }
    EXPECT_TRUE(fakeSystem().errorLines.empty());
    // Unset and empty are alike: the row, silently.
    fakeSystem().loadRequests.clear();
    EXPECT_EQ(choose(machine, "").overrideState, OverrideState::None);
    EXPECT_EQ(fakeSystem().loadRequests, Names{"Zentavols2"});
    EXPECT_TRUE(fakeSystem().errorLines.empty());
}

TEST_F(FrontOverride, AVariantTheProcessorCannotRunIsNeverLoaded) {
    // Family 6 with MMX and no SSE: class 3, row n2 n1 g2 g1.
    const auto choice = choose(processor(6, kFpu | kCmov | kMmx), "S1");
    EXPECT_EQ(choice.overrideState, OverrideState::CannotRun);
    EXPECT_EQ(fakeSystem().loadRequests, Names{"Zentavoln2"});
    EXPECT_EQ(fakeSystem().errorLines, Names{refusal("S1", "this machine lacks SSE")});
    EXPECT_EQ(choice.loadedVariant, 3);
}

TEST_F(FrontOverride, AnUnknownValueIsRefusedAndNeverLoaded) {
    const Machine machine = processor(6, kFpu | kCmov | kMmx | kSse | kSse2);
    const auto choice = choose(machine, "libZentavols2.so");
    EXPECT_EQ(choice.overrideState, OverrideState::Unknown);
    EXPECT_EQ(fakeSystem().loadRequests, Names{"Zentavols1"});
    EXPECT_EQ(fakeSystem().errorLines, Names{refusal("libZentavols2.so", "not one of g1, g2, n1, n2, s1, s2")});

    // Control characters do not reach the terminal; a long value is cut.
    fakeSystem().errorLines.clear();
    choose(machine, "s1\n\x1b[2Jxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
    ASSERT_EQ(fakeSystem().errorLines.size(), 1u);
    EXPECT_EQ(fakeSystem().errorLines[0], refusal("s1??[2Jxxxxxxxxxxxxx...", "not one of g1, g2, n1, n2, s1, s2"));
}

TEST_F(FrontOverride, AMissingVariantIsRefusedAndTheRowWalked) {
    fakeSystem().present.erase("Zentavolg2");
    fakeSystem().present.erase("Zentavols1");
    const auto choice = choose(processor(6, kFpu | kCmov | kMmx | kSse), "g2");
    EXPECT_EQ(choice.overrideState, OverrideState::Missing);
    EXPECT_EQ(fakeSystem().loadRequests, (Names{"Zentavolg2", "Zentavols1", "Zentavoln2"}));
    EXPECT_EQ(fakeSystem().errorLines, Names{refusal("g2", "Zentavolg2 did not load: not present")});
    // The report: the override's attempt first, then the row's, with reasons.
    ASSERT_EQ(choice.attemptCount, 3);
    EXPECT_EQ(choice.attempts[0].variant, 1);
    EXPECT_STREQ(choice.attempts[1].whyNot, "not present");
    EXPECT_TRUE(choice.attempts[2].loaded);
    EXPECT_EQ(choice.loadedVariant, 3);
}

TEST_F(FrontOverride, TheAttachTakesItAndBindsThatVariant) {
    // This machine's own probe: the generic build runs on any processor.
    fakeSystem().environment[qel::front::kOverrideVariable] = "g1";
    ASSERT_TRUE(qelFrontNotify(QEL_PROCESS_ATTACH));
    EXPECT_EQ(fakeSystem().loadRequests, Names{"Zentavolg1"});
    EXPECT_EQ(qelEntrySlots[kQelSlot_qelsMin], zv::test::fakeAddress("Zentavolg1", "qelsMin"));
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));

    // Refused: one line, and the message box only if nothing loads at all.
    zv::test::resetFakeSystem();
    fakeSystem().versionAnswers[qel::platform::kOsVersionInfoExSize] = {true, 2, 5, 1};
    fakeSystem().environment[qel::front::kOverrideVariable] = "n1";
    EXPECT_FALSE(qelFrontNotify(QEL_PROCESS_ATTACH));
    EXPECT_EQ(fakeSystem().errorLines, Names{refusal("n1", "Zentavoln1 did not load: not present")});
    EXPECT_EQ(fakeSystem().messages.size(), 1u);
}

// A set-user-ID program's caller sets its environment: there the variable
// is never read, whatever its value, and one line says so.
TEST_F(FrontOverride, ASecureProcessIgnoresItWithOneLine) {
    const Machine machine = processor(15, kFpu | kCmov | kMmx | kSse | kSse2);
    const std::string ignored =
        "Zentavol: ZENTAVOL_VARIANT ignored: the process has privileges its caller lacks (set-user-ID or the "
        "like); the usual choice is made";
    for (const char* value : {"g1", "S1", "nonsense"}) {
        SCOPED_TRACE(value);
        fakeSystem().loadRequests.clear();
        fakeSystem().errorLines.clear();
        const auto choice = choose(machine, value, true);
        EXPECT_EQ(choice.overrideState, OverrideState::Ignored);
        EXPECT_EQ(choice.overrideVariant, -1);
        EXPECT_EQ(choice.loadedVariant, 5);
        EXPECT_EQ(fakeSystem().loadRequests, Names{"Zentavols2"});
        EXPECT_EQ(fakeSystem().errorLines, Names{ignored});
    }
    // Unset: nothing to ignore, nothing said.
    fakeSystem().errorLines.clear();
    EXPECT_EQ(choose(machine, "", true).overrideState, OverrideState::None);
    EXPECT_TRUE(fakeSystem().errorLines.empty());

    // The attach asks the platform; the line is written once.
    fakeSystem().errorLines.clear();
    fakeSystem().loadRequests.clear();
    fakeSystem().secureProcess = true;
    fakeSystem().environment[qel::front::kOverrideVariable] = "n1";
    ASSERT_TRUE(qelFrontNotify(QEL_PROCESS_ATTACH));
    EXPECT_EQ(std::count(fakeSystem().loadRequests.begin(), fakeSystem().loadRequests.end(), "Zentavoln1"), 0);
    EXPECT_EQ(fakeSystem().errorLines, Names{ignored});
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));
}

// A family-6 processor with SSE but no conditional moves (class 4): its
// row offers S1 and N2 first, both built with conditional moves; the walk
// passes over them without loading them and takes N1.
TEST_F(FrontOverride, TheWalkPassesOverVariantsTheMachineCannotRun) {
    const Machine machine = processor(6, kFpu | kMmx | kSse);
    ASSERT_EQ(qel::front::classOf(machine), 4);
    const auto choice = choose(machine, "");
    ASSERT_EQ(choice.loadedVariant, 2) << "n1";
    ASSERT_EQ(choice.attemptCount, 3);
    EXPECT_EQ(choice.attempts[0].variant, 4);
    EXPECT_EQ(choice.attempts[1].variant, 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(choice.attempts[i].loaded);
        EXPECT_STREQ(choice.attempts[i].whyNot, "not tried: this machine lacks conditional moves");
    }
    EXPECT_TRUE(choice.attempts[2].loaded);
    EXPECT_EQ(fakeSystem().loadRequests, std::vector<std::string>{nameOf(2)}) << "asked for a variant it cannot run";
}

}  // namespace

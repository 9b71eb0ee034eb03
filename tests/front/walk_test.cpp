// SPDX-License-Identifier: MIT
// The walk along the preference rows, the binding of the slots, and the front
// library's attach and detach, over the fake platform that records every
// library asked for and every message shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"
#include "runtime/lifecycle.h"
#include "tests/front/fake_platform.h"

namespace {

using qel::front::loadVariantFromRow;
using qel::front::preferenceRowFor;
using zv::test::fakeSystem;
using zv::test::FakeMessage;
using Names = std::vector<std::string>;

const std::string kG1 = "Zentavolg1", kG2 = "Zentavolg2", kN1 = "Zentavoln1", kN2 = "Zentavoln2",
                  kS1 = "Zentavols1", kS2 = "Zentavols2";
const Names kAllVariants = {kG1, kG2, kN1, kN2, kS1, kS2};

// The binding order, written out independently of the table under test.
const Names kBindingOrder = {"qelMalloc", "qelFree", "qelsbSet", "qelsbAdd1", "qelsbAdd2", "qelsbMpy1",
                             "qelsbMpy2", "qelsMax", "qelsMin", "qelcbConjExtend1", "qelcbReal", "qelcbMag",
                             "qelcFft", "qelsRealFftNip", "qelsbIntToFloat", "qelsbFloatToInt"};

class FrontWalk : public ::testing::Test {
protected:
    void SetUp() override {
        zv::test::resetFakeSystem();
        std::fill(std::begin(qelEntrySlots), std::end(qelEntrySlots), nullptr);
        qel::front::variantModule = nullptr;
        // A current system unless a test says otherwise.
        fakeSystem().versionAnswers[qel::platform::kOsVersionInfoExSize] = {true, 2, 5, 1};
    }
    void TearDown() override { qel::front::variantModule = nullptr; }

    static void present(const Names& names) {
        for (const auto& name : names) fakeSystem().present[name];
    }
    static void oldSystem() {
        fakeSystem().versionAnswers[qel::platform::kOsVersionInfoExSize] = {true, 1, 4, 0};
    }
    static void* slotOf(const std::string& name) {
        for (const auto* b = qel::front::kBindingTable; b->slot != nullptr; ++b)
            if (name == b->name) return *b->slot;
        ADD_FAILURE() << "no slot for " << name;
        return nullptr;
    }
};

TEST_F(FrontWalk, EachRowIsTriedInOrder) {
    const std::vector<Names> rows = {
        {kG1},
        {kG2, kG1},
        {kN1, kG1},
        {kN2, kN1, kG2, kG1},
        {kS1, kN2, kN1, kG2, kG1},
        {kS2, kS1, kN2, kN1, kG2, kG1},
    };
    for (int row = 0; row < 6; ++row) {
        zv::test::resetFakeSystem();
        EXPECT_EQ(loadVariantFromRow(row), nullptr);
        EXPECT_EQ(fakeSystem().loadRequests, rows[row]) << "row " << row;
        // With everything present the row's first choice is taken at once.
        zv::test::resetFakeSystem();
        present(kAllVariants);
        EXPECT_EQ(zv::test::fakeLibraryName(loadVariantFromRow(row)), rows[row][0]);
        EXPECT_EQ(fakeSystem().loadRequests, Names{rows[row][0]});
    }
}

TEST_F(FrontWalk, ClassFiveWithOnlyTheGenericBuildFallsAllTheWay) {
    present({kG1});
    void* module = loadVariantFromRow(preferenceRowFor(0, 5));
    EXPECT_EQ(zv::test::fakeLibraryName(module), kG1);
    EXPECT_EQ(fakeSystem().loadRequests, (Names{kS2, kS1, kN2, kN1, kG2, kG1}));
    EXPECT_TRUE(fakeSystem().messages.empty());
    EXPECT_TRUE(fakeSystem().events.empty());
}

TEST_F(FrontWalk, ClassTwoNeverFallsBackToG2) {
    present({kG2, kG1});
    EXPECT_EQ(zv::test::fakeLibraryName(loadVariantFromRow(preferenceRowFor(0, 2))), kG1);
    EXPECT_EQ(fakeSystem().loadRequests, (Names{kN1, kG1}));
}

TEST_F(FrontWalk, AnOldSystemTakesTheGenericBuildWhateverTheProcessor) {
    for (int processorClass = 0; processorClass < 6; ++processorClass) {
        EXPECT_EQ(preferenceRowFor(1, processorClass), 0);
        EXPECT_EQ(preferenceRowFor(0, processorClass), processorClass);
    }
    // A class no classification yields falls back to the generic row.
    EXPECT_EQ(preferenceRowFor(0, 6), 0);
    EXPECT_EQ(preferenceRowFor(0, -1), 0);

    // The whole attach on an old system, this machine's processor whatever it is.
    oldSystem();
    present(kAllVariants);
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_ATTACH));
    EXPECT_EQ(fakeSystem().loadRequests, Names{kG1});
    EXPECT_EQ(zv::test::fakeLibraryName(qel::front::variantModule), kG1);
}

TEST_F(FrontWalk, NoVariantGivesExactlyOneMessageAndFailsTheLoad) {
    EXPECT_FALSE(qelFrontNotify(QEL_PROCESS_ATTACH));
    EXPECT_EQ(qel::front::variantModule, nullptr);
    ASSERT_EQ(fakeSystem().messages.size(), 1u);
    EXPECT_EQ(fakeSystem().messages[0], (FakeMessage{" No Zentavol DLL was found", "Load Zentavol error", 0x10}));
    EXPECT_EQ(fakeSystem().events, (Names{"beep 16", "box Load Zentavol error"}));
    EXPECT_TRUE(fakeSystem().lookups.empty());
    // Nothing was loaded, so detach frees nothing.
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));
    EXPECT_TRUE(fakeSystem().freed.empty());
}

TEST_F(FrontWalk, AttachBindsEverySlotToTheVariantOfTheMachinesRow) {
    present(kAllVariants);
    ASSERT_TRUE(qelFrontNotify(QEL_PROCESS_ATTACH));
    const std::string chosen = qel::front::kVariantNames[qel::front::classifyProcessor()];
    EXPECT_EQ(fakeSystem().loadRequests, Names{chosen});
    EXPECT_EQ(zv::test::fakeLibraryName(qel::front::variantModule), chosen);
    EXPECT_EQ(fakeSystem().lookups, kBindingOrder);
    for (const auto& name : kBindingOrder) EXPECT_EQ(slotOf(name), zv::test::fakeAddress(chosen, name)) << name;
    EXPECT_TRUE(fakeSystem().messages.empty());

    // Other notifications change nothing; detach unloads the variant once.
    for (int reason : {int{QEL_THREAD_ATTACH}, int{QEL_THREAD_DETACH}, 4, -1}) EXPECT_TRUE(qelFrontNotify(reason));
    EXPECT_TRUE(fakeSystem().freed.empty());
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));
    EXPECT_EQ(fakeSystem().freed, Names{chosen});
}

TEST_F(FrontWalk, AVariantLackingQelsMinStopsTheLoadAtThatName) {
    // Every variant is present, but the first one tried lacks qelsMin.
    present(kAllVariants);
    const std::string first = qel::front::kVariantNames[qel::front::classifyProcessor()];
    fakeSystem().present[first] = {"qelsMin"};
    EXPECT_FALSE(qelFrontNotify(QEL_PROCESS_ATTACH));

    EXPECT_EQ(fakeSystem().loadRequests, Names{first});  // no further variant is tried
    ASSERT_EQ(fakeSystem().messages.size(), 1u);
    EXPECT_EQ(fakeSystem().messages[0],
              (FakeMessage{"Unable to find function address qelsMin\n", "Load DLL Error", 0x2010}));
    EXPECT_EQ(fakeSystem().events, (Names{"beep 16", "box Load DLL Error"}));

    // The names before it are bound, the slots from it on stay empty.
    const auto missing = std::find(kBindingOrder.begin(), kBindingOrder.end(), "qelsMin");
    EXPECT_EQ(fakeSystem().lookups, Names(kBindingOrder.begin(), missing + 1));
    for (auto name = kBindingOrder.begin(); name != kBindingOrder.end(); ++name)
        EXPECT_EQ(slotOf(*name), name < missing ? zv::test::fakeAddress(first, *name) : nullptr) << *name;

    // The variant stays recorded, so the detach of the failed load frees it.
    EXPECT_EQ(zv::test::fakeLibraryName(qel::front::variantModule), first);
    EXPECT_TRUE(qelFrontNotify(QEL_PROCESS_DETACH));
    EXPECT_EQ(fakeSystem().freed, Names{first});
}

TEST_F(FrontWalk, TheFirstMissingNameInBindingOrderIsTheOneNamed) {
    // qelsMin comes before qelsbAdd1 by ordinal, after it in binding order.
    present({kG1});
    fakeSystem().present[kG1] = {"qelsMin", "qelsbAdd1", "qelsbFloatToInt"};
    void* module = loadVariantFromRow(0);
    EXPECT_EQ(qel::front::bindEntryPoints(module), 0);
    ASSERT_EQ(fakeSystem().messages.size(), 1u);
    EXPECT_EQ(fakeSystem().messages[0].text, "Unable to find function address qelsbAdd1\n");

    // Only the last name missing: fifteen slots filled, one message.
    zv::test::resetFakeSystem();
    present({kG1});
    fakeSystem().present[kG1] = {"qelsbFloatToInt"};
    EXPECT_EQ(qel::front::bindEntryPoints(loadVariantFromRow(0)), 0);
    ASSERT_EQ(fakeSystem().messages.size(), 1u);
    EXPECT_EQ(fakeSystem().messages[0].text, "Unable to find function address qelsbFloatToInt\n");
    EXPECT_EQ(slotOf("qelsbIntToFloat"), zv::test::fakeAddress(kG1, "qelsbIntToFloat"));
    EXPECT_EQ(slotOf("qelsbFloatToInt"), nullptr);
}

TEST(BindingTable, EachNameOnceWithTheSlotOfItsOrdinal) {
    std::set<std::string> seen;
    int rows = 0;
    for (const auto* b = qel::front::kBindingTable; b->slot != nullptr || b->name != nullptr; ++b, ++rows) {
        ASSERT_NE(b->slot, nullptr);
        ASSERT_NE(b->name, nullptr);
        EXPECT_EQ(b->name, kBindingOrder[rows]);
        EXPECT_TRUE(seen.insert(b->name).second) << b->name;
#define ZV_EXPORT(ordinal, fn)                                              \
    if (std::string(b->name) == #fn) {                                      \
        EXPECT_EQ(b->slot, &qelEntrySlots[(ordinal) - 1]) << #fn;            \
    }
#include "runtime/export_list.h"
#undef ZV_EXPORT
    }
    EXPECT_EQ(rows, 16);
    EXPECT_EQ(seen.size(), 16u);
}

TEST(PreferenceTable, RowsEndWithTheMarkerAndNameEachVariantOnce) {
    for (int row = 0; row < qel::front::kVariantCount; ++row) {
        std::set<int> seen;
        int i = 0;
        for (; i < qel::front::kRowWidth && qel::front::kPreferenceRows[row][i] != qel::front::kRowEnd; ++i)
            EXPECT_TRUE(seen.insert(qel::front::kPreferenceRows[row][i]).second) << row;
        EXPECT_LT(i, qel::front::kRowWidth) << "row " << row << " has no end marker";
        EXPECT_EQ(qel::front::kPreferenceRows[row][0], row) << "the class's first choice leads its row";
    }
}

}  // namespace

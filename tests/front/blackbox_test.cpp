// Black-box runs of the front library: an application linked against
// libZentavol.so is started from a folder that holds the front library and a
// chosen set of variant libraries, and must run on the variant that this
// machine's preference row names first among those present.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"
#include "tests/support/variant_loader.h"
#include "tests/front/front_folder.h"

namespace {

using zv::test::fileOf;
using zv::test::Folder;
using zv::test::kNoVariantMessage;
using zv::test::machineRow;
using zv::test::Names;
using zv::test::RunResult;

// Where the variant libraries of a run come from: the stand-ins built for
// these tests, which answer every call with their name, or the real ones.
struct VariantSet {
    std::string name;
    std::string folder;
    bool answersCalls;
};

std::vector<VariantSet> variantSets() {
    std::vector<VariantSet> sets = {{"standins", ZV_FRONT_TEST_VARIANT_DIR, true}};
#if defined(ZV_REAL_VARIANTS_COMPLETE)
    sets.push_back({"real", ZV_LIBRARY_DIR, false});
#endif
    return sets;
}

// What the application prints when it runs on the stand-in `name`.
std::string expectedOutput(const std::string& name, bool answersCalls) {
    std::string out = "loaded " + fileOf(name) + "\n";
    if (answersCalls) {
        int id = 0;
        while (qel::front::kVariantNames[id] != name) ++id;
        const std::string n = name + " ";
        char reductions[96];
        std::snprintf(reductions, sizeof reductions, "reply qelsMax: %.1f\nreply qelsMin: %.1f\n",
                      1000.0 * (10 * id + 1) + 4.5, 1000.0 * (10 * id + 2) + 7.5);
        out += "reply qelMalloc: " + n + "qelMalloc 48\n" +
               "reply qelFree: " + n + "qelFree\n" +
               "reply qelcFft: " + n + "qelcFft 5 33\n" +
               "reply qelsRealFftNip: " + n + "qelsRealFftNip 1.5 6 130\n" +
               "reply qelsbSet: " + n + "qelsbSet 2.25 7\n" +
               "reply qelsbAdd1: " + n + "qelsbAdd1 -0.5 8\n" +
               "reply qelsbAdd2: " + n + "qelsbAdd2 1.5 9\n" +
               "reply qelsbMpy1: " + n + "qelsbMpy1 3.75 10\n" +
               "reply qelsbMpy2: " + n + "qelsbMpy2 1.5 11\n" +
               "reply qelcbConjExtend1: " + n + "qelcbConjExtend1 12\n" +
               "reply qelcbReal: " + n + "qelcbReal -3.5 13\n" +
               "reply qelcbMag: " + n + "qelcbMag 2.5 14\n" + reductions +
               "reply qelsbFloatToInt: " + n + "qelsbFloatToInt 1.5 15 16 4224\n" +
               "reply qelsbIntToFloat: " + n + "qelsbIntToFloat -7 17 32 2048\n";
    }
#if defined(__x86_64__)
    out += "slots matching 16\n";
#else
    out += "slots unchecked\n";
#endif
    return out;
}

class FrontBlackBox : public ::testing::TestWithParam<VariantSet> {
protected:
    std::string variantFile(const std::string& name) const { return GetParam().folder + "/" + fileOf(name); }

    // Runs with the given variants present and checks that the process ran
    // on `expected` and loaded no other variant.
    void expectRunsOn(Folder& folder, const std::string& expected, const Names& attachedBefore = {}) {
        const RunResult run = folder.run(GetParam().answersCalls ? "calls" : "");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expectedOutput(expected, GetParam().answersCalls));
        if (GetParam().answersCalls) {
            // The stand-ins say when they attach: only the variants tried.
            std::string attached;
            for (const auto& name : attachedBefore) attached += name + " attached\n";
            EXPECT_EQ(run.err, attached + expected + " attached\n");
        }
    }
};

TEST_P(FrontBlackBox, EveryVariantPresentRunsOnTheFirstChoiceOfTheRow) {
    Folder folder;
    for (const char* name : qel::front::kVariantNames) folder.put(variantFile(name), name);
    expectRunsOn(folder, machineRow().front());
}

TEST_P(FrontBlackBox, MissingChoicesAreSkippedAlongTheRow) {
    // Take away the row's choices from the front one by one: the next one
    // runs, and variants outside the row never do.
    const Names row = machineRow();
    for (std::size_t missing = 1; missing < row.size(); ++missing) {
        Folder folder;
        for (const char* name : qel::front::kVariantNames)
            if (std::find(row.begin(), row.begin() + static_cast<long>(missing), name) == row.begin() + static_cast<long>(missing))
                folder.put(variantFile(name), name);
        SCOPED_TRACE("first " + std::to_string(missing) + " of the row missing");
        expectRunsOn(folder, row[missing]);
    }
}

TEST_P(FrontBlackBox, OnlyTheGenericBuildPresentRunsOnIt) {
    Folder folder;
    folder.put(variantFile("Zentavolg1"), "Zentavolg1");
    expectRunsOn(folder, "Zentavolg1");
}

TEST_P(FrontBlackBox, AVariantWhoseAttachIsRefusedCountsAsNotLoaded) {
    // Every choice but the last refuses its attach, taking turns at refusing
    // the TLS slot and the first context's memory; the refused libraries are
    // unloaded again, so the process holds only the last choice.
    const Names row = machineRow();
    Folder folder;
    for (const char* name : qel::front::kVariantNames) folder.put(variantFile(name), name);
    for (std::size_t i = 0; i + 1 < row.size(); ++i)
        folder.put(i % 2 == 0 ? ZV_FRONT_REFUSE_TLS : ZV_FRONT_REFUSE_CONTEXT, row[i]);
    expectRunsOn(folder, row.back());
}

TEST_P(FrontBlackBox, NoVariantEndsTheProcessWithTheMessageAndStatus127) {
    Folder folder;
    const RunResult run = folder.run();
    EXPECT_EQ(run.exitCode, 127);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kNoVariantMessage);
}

TEST_P(FrontBlackBox, OnlyRefusingVariantsIsLikeNoVariant) {
    Folder folder;
    for (const auto& name : machineRow()) folder.put(ZV_FRONT_REFUSE_TLS, name);
    folder.put(ZV_FRONT_REFUSE_CONTEXT, "Zentavolg1");
    const RunResult run = folder.run();
    EXPECT_EQ(run.exitCode, 127);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kNoVariantMessage);
}

INSTANTIATE_TEST_SUITE_P(Variants, FrontBlackBox, ::testing::ValuesIn(variantSets()),
                         [](const auto& info) { return info.param.name; });

TEST(FrontBlackBoxBroken, AVariantLackingQelsMinEndsTheProcessAtThatName) {
    // The first choice lacks qelsMin, every other variant is sound: the load
    // fails with the message for qelsMin alone and no further variant is tried.
    Folder folder;
    const Names row = machineRow();
    for (const char* name : qel::front::kVariantNames)
        folder.put(std::string(ZV_FRONT_TEST_VARIANT_DIR) + "/" + fileOf(name), name);
    folder.put(ZV_FRONT_WITHOUT_QELSMIN, row.front());
    const RunResult run = folder.run("calls");
    EXPECT_EQ(run.exitCode, 127);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ZentavolNoMin attached\nLoad DLL Error: Unable to find function address qelsMin\n");
}

TEST(FrontBlackBoxReal, TheGenericVariantAttachesAndIsBound) {
    // The real generic variant says through its note that it attached, so the
    // front library binds it: completely once it exports every name, else up
    // to the first name it still lacks in binding order.
    const std::string g1 = std::string(ZV_LIBRARY_DIR) + "/" + fileOf("Zentavolg1");
    void* handle = dlopen(g1.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    std::string missing;
    for (const auto* b = qel::front::kBindingTable; b->name != nullptr && missing.empty(); ++b)
        if (dlsym(handle, b->name) == nullptr) missing = b->name;
    dlclose(handle);

    Folder folder;
    folder.put(g1, "Zentavolg1");
    const RunResult run = folder.run();
    if (missing.empty()) {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expectedOutput("Zentavolg1", false));
    } else {
        EXPECT_EQ(run.exitCode, 127);
        EXPECT_EQ(run.err, "Load DLL Error: Unable to find function address " + missing + "\n");
    }
}

TEST(FrontBlackBoxReal, TheRowsFirstBuiltVariantRunsAndWithoutItTheNextOne) {
    // The real variants built so far: the machine's row picks the first of
    // them (s2 on a processor with SSE2); without it, the next one of the row.
    const auto built = zv::test::builtVariants();
    Names present;
    for (const auto& name : machineRow())
        if (std::find(built.begin(), built.end(), name.substr(8)) != built.end()) present.push_back(name);
    ASSERT_FALSE(present.empty());
    for (std::size_t skip = 0; skip < present.size(); ++skip) {
        Folder folder;
        for (std::size_t i = skip; i < present.size(); ++i)
            folder.put(std::string(ZV_LIBRARY_DIR) + "/" + fileOf(present[i]), present[i]);
        const RunResult run = folder.run();
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expectedOutput(present[skip], false)) << "without the first " << skip;
    }
}

TEST(FrontPlatform, ThisSystemIsNeverAnOldWindows) {
    EXPECT_EQ(qel::front::isOldWindows(), 0);
    qel::platform::OsVersionInfo info{};
    for (std::uint32_t size : {qel::platform::kOsVersionInfoExSize, qel::platform::kOsVersionInfoSize}) {
        std::memset(&info, 0x5A, sizeof info);
        info.size = size;
        ASSERT_TRUE(qel::platform::getVersionEx(&info)) << size;
        EXPECT_EQ(info.platformId, qel::platform::kPlatformPosix);
        EXPECT_EQ(info.size, size);
    }
    // The plain record leaves the extended fields alone.
    EXPECT_EQ(info.servicePackMajor, 0x5A5A);
    EXPECT_EQ(info.reserved, 0x5A);
    for (std::uint32_t size : {0u, 147u, 157u, 0xFFFFFFFFu}) {
        info.size = size;
        EXPECT_FALSE(qel::platform::getVersionEx(&info)) << size;
    }
    EXPECT_FALSE(qel::platform::getVersionEx(nullptr));
}

TEST(FrontPlatform, FormattingNeverOverrunsTheBuffer) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    const int length = qel::platform::formatText(buffer, 12, "Unable %s\n", "qelsbFloatToInt");
    EXPECT_EQ(length, 11);
    EXPECT_STREQ(buffer, "Unable qels");
    EXPECT_EQ(buffer[12], '#');
    EXPECT_EQ(qel::platform::formatText(buffer, sizeof buffer, "a %s\n", "b"), 4);
    EXPECT_STREQ(buffer, "a b\n");
}

}  // namespace

// SPDX-License-Identifier: MIT
// Black-box runs of the front library: an application linked against
// libZentavol.so is started from a folder that holds the front library and a
// chosen set of variant libraries, and must run on the variant that this
// machine's preference row names first among those present.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"
#include "runtime/processor.h"
#include "tests/support/variant_loader.h"
#include "tests/front/front_folder.h"

namespace {

using zv::test::fileOf;
using zv::test::Folder;
using zv::test::kNoVariantMessage;
using zv::test::machineRow;
using zv::test::Names;
using zv::test::readAll;
using zv::test::RunResult;

// Where the variant libraries of a run come from: the stand-ins built for
// these tests, which answer every call with their name, or the real ones.
struct VariantSet {
    std::string name;
    std::string folder;
    bool answersCalls;
};

std::vector<VariantSet> variantSets() {
    return {{"standins", ZV_FRONT_TEST_VARIANT_DIR, true}, {"real", ZV_LIBRARY_DIR, false}};
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

// The sixteen exports and their ordinals, as the interface defines them;
// written out here, not taken from the build's own list.
struct Export {
    int ordinal;
    const char* name;
};
constexpr Export kExports[] = {
    {1, "qelFree"},           {2, "qelMalloc"},        {3, "qelcFft"},          {4, "qelcbConjExtend1"},
    {5, "qelcbMag"},          {6, "qelcbReal"},        {7, "qelsMax"},          {8, "qelsMin"},
    {9, "qelsRealFftNip"},    {10, "qelsbAdd1"},       {11, "qelsbAdd2"},       {12, "qelsbFloatToInt"},
    {13, "qelsbIntToFloat"},  {14, "qelsbMpy1"},       {15, "qelsbMpy2"},       {16, "qelsbSet"},
};

Names sixteenNames() {
    Names names;
    for (const Export& e : kExports) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

// The functions a shared library file defines in its dynamic symbol table
// with default visibility, sorted: what the loader can find in it by name.
Names exportedFunctions(const std::string& path) {
    const std::string image = readAll(path);
    auto at = [&](std::size_t offset, std::size_t bytes = 1) {
        if (offset + bytes > image.size()) throw std::runtime_error(path + ": not a complete ELF file");
        return image.data() + offset;
    };
    ElfW(Ehdr) header;
    std::memcpy(&header, at(0, sizeof header), sizeof header);
    Names names;
    for (int i = 0; i < header.e_shnum; ++i) {
        ElfW(Shdr) table;
        std::memcpy(&table, at(header.e_shoff + i * sizeof table, sizeof table), sizeof table);
        if (table.sh_type != SHT_DYNSYM) continue;
        ElfW(Shdr) strings;
        std::memcpy(&strings, at(header.e_shoff + table.sh_link * sizeof strings, sizeof strings), sizeof strings);
        for (std::size_t s = 1; s < table.sh_size / sizeof(ElfW(Sym)); ++s) {
            ElfW(Sym) symbol;
            std::memcpy(&symbol, at(table.sh_offset + s * sizeof symbol, sizeof symbol), sizeof symbol);
            if (symbol.st_shndx != SHN_UNDEF && ELF64_ST_TYPE(symbol.st_info) == STT_FUNC &&
                ELF64_ST_BIND(symbol.st_info) != STB_LOCAL && ELF64_ST_VISIBILITY(symbol.st_other) == STV_DEFAULT)
                names.push_back(at(strings.sh_offset + symbol.st_name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FrontExports, TheFrontAndTheGenericVariantExportTheSixteenNamesAndNoOther) {
    EXPECT_EQ(exportedFunctions(ZV_FRONT_LIBRARY), sixteenNames());
    EXPECT_EQ(exportedFunctions(std::string(ZV_LIBRARY_DIR) + "/" + fileOf("Zentavolg1")), sixteenNames());
}

TEST(FrontExports, EachNameIsBoundIntoTheSlotOfItsOrdinal) {
    // The export of ordinal k jumps through slot k - 1 (the application
    // checks the jumps); the binding table must fill that slot from the
    // variant's function of the same name.
    int bindings = 0;
    for (const auto* b = qel::front::kBindingTable; b->name != nullptr; ++b) ++bindings;
    EXPECT_EQ(bindings, 16);
    for (const Export& e : kExports) {
        int found = 0;
        for (const auto* b = qel::front::kBindingTable; b->name != nullptr; ++b) {
            if (std::strcmp(b->name, e.name) != 0) continue;
            ++found;
            EXPECT_EQ(b->slot, &qelEntrySlots[e.ordinal - 1]) << e.name;
        }
        EXPECT_EQ(found, 1) << e.name;
    }
}

TEST(FrontBlackBoxReal, TheGenericVariantAttachesAndIsBoundCompletely) {
    // The real generic variant says through its note that it attached, and
    // the front library binds all sixteen exports to it.
    Folder folder;
    folder.put(std::string(ZV_LIBRARY_DIR) + "/" + fileOf("Zentavolg1"), "Zentavolg1");
    const RunResult run = folder.run();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expectedOutput("Zentavolg1", false));
    EXPECT_EQ(run.err, "");
}

TEST(FrontBlackBoxReal, EverySubsetOfTheRealVariantsRunsOnTheFirstOfTheRowPresent) {
    // The real variants of the machine's row (s1, n2, n1, g2, g1 on a
    // family-6 processor with SSE): with any of them present, the process
    // runs on the first of the row among them.
    const auto built = zv::test::builtVariants();
    Names row;
    for (const auto& name : machineRow())
        if (std::find(built.begin(), built.end(), name.substr(8)) != built.end()) row.push_back(name);
    ASSERT_FALSE(row.empty());
    for (unsigned mask = 1; mask < (1u << row.size()); ++mask) {
        Folder folder;
        std::string first;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (((mask >> i) & 1) == 0) continue;
            folder.put(std::string(ZV_LIBRARY_DIR) + "/" + fileOf(row[i]), row[i]);
            if (first.empty()) first = row[i];
        }
        const RunResult run = folder.run();
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expectedOutput(first, false)) << "present: mask " << mask;
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

// ZENTAVOL_VARIANT with the stand-ins, and zentavol-which run from a folder
// of them (which it searches first, through LD_LIBRARY_PATH).
namespace {

using qel::front::kVariantCodes;
using qel::front::kVariantNames;

std::string standin(const std::string& name) { return std::string(ZV_FRONT_TEST_VARIANT_DIR) + "/" + fileOf(name); }

void putAll(Folder& folder, const std::string& except = "") {
    for (const char* name : kVariantNames)
        if (name != except) folder.put(standin(name), name);
}

std::string refusal(const std::string& value, const std::string& why) {
    return "Zentavol: ZENTAVOL_VARIANT=" + value + " refused: " + why + "; the usual choice is made\n";
}

TEST(FrontOverrideBlackBox, EachCodeRunsOnThatVariant) {
    // This machine runs every build (x86-64 has SSE2 and conditional moves).
    Folder folder;
    putAll(folder);
    for (int variant = 0; variant < qel::front::kVariantCount; ++variant) {
        std::string code = kVariantCodes[variant];
        if (variant % 2 == 1) code[0] = static_cast<char>(code[0] - 'a' + 'A');
        const RunResult run = folder.runProgram("front_app", "calls", "", code);
        EXPECT_EQ(run.exitCode, 0) << code;
        EXPECT_EQ(run.out, expectedOutput(kVariantNames[variant], true)) << code;
        EXPECT_EQ(run.err, std::string(kVariantNames[variant]) + " attached\n") << code;
    }
}

TEST(FrontOverrideBlackBox, UnknownOrMissingGivesOneLineAndTheUsualChoice) {
    const std::string first = machineRow().front();
    Folder folder;
    putAll(folder, "Zentavolg2");
    RunResult run = folder.runProgram("front_app", "", "", "Zentavols1.so");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expectedOutput(first, false));
    EXPECT_EQ(run.err, refusal("Zentavols1.so", "not one of g1, g2, n1, n2, s1, s2") + first + " attached\n");

    run = folder.runProgram("front_app", "", "", "g2");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expectedOutput(first, false));
    EXPECT_EQ(run.err,
              refusal("g2", "Zentavolg2 did not load: no complete libZentavolg2.so.0 along the search path") + first +
                  " attached\n");
}

// A set-user-ID program started by an unprivileged user: the loader calls
// the process secure, and the front library ignores the variable as the
// loader ignores LD_LIBRARY_PATH. Needs root, to make the program
// set-user-ID root and to start it as another user (setpriv).
TEST(FrontOverrideBlackBox, ASetUserIdProgramIgnoresIt) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs setpriv";
    const std::string first = machineRow().front();
    Folder folder;
    putAll(folder);
    struct statvfs mount;
    ASSERT_EQ(statvfs(folder.path().c_str(), &mount), 0);
    if ((mount.f_flag & ST_NOSUID) != 0) GTEST_SKIP() << "the scratch folder is on a nosuid mount";
    namespace fs = std::filesystem;
    for (fs::path at = folder.path().parent_path(); at != at.root_path(); at = at.parent_path())
        if ((fs::status(at).permissions() & fs::perms::others_exec) == fs::perms::none)
            GTEST_SKIP() << at << " is closed to other users";
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    const std::string asNobody = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";

    // Without the bit the user's choice is taken: setpriv works here.
    RunResult run = folder.runProgram("front_app", "", "", "g1", asNobody);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.err, "Zentavolg1 attached\n");

    // With it, the loader ignores the program's $ORIGIN outside the system's
    // own folders: the front library comes from the library folder of the
    // build tree (the program's other RUNPATH entry) and loads the real
    // variants beside it, which say nothing when they attach.
    ASSERT_EQ(chmod((folder.path() / "front_app").c_str(), 04755), 0);
    run = folder.runProgram("front_app", "", "", "g1", asNobody);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err,
              "Zentavol: ZENTAVOL_VARIANT ignored: the process has privileges its caller lacks (set-user-ID or the "
              "like); the usual choice is made\n");
    if (first != "Zentavolg1") {
        EXPECT_NE(run.out.substr(0, run.out.find('\n')), "loaded " + fileOf("Zentavolg1"));
    }
}

class WhichTool : public ::testing::Test {
protected:
    WhichTool() { folder.putProgram(ZV_WHICH_TOOL, "zentavol-which"); }
    RunResult which(const std::string& variant = "", const std::string& argument = "") {
        return folder.runProgram("zentavol-which", argument, folder.path().string(), variant);
    }
    static std::string line(const RunResult& run, const std::string& start) {
        const std::size_t at = run.out.find("\n" + start);
        if (at == std::string::npos) return "(no line " + start + ")";
        return run.out.substr(at + 1, run.out.find('\n', at + 1) - at - 1);
    }
    Folder folder;
};

TEST_F(WhichTool, NamesTheClassTheRowAndTheVariantLoaded) {
    putAll(folder);
    const int processorClass = qel::front::classifyProcessor();
    const Names row = machineRow();
    std::string codes;
    for (const auto& name : row) codes += (codes.empty() ? " " : ", ") + name.substr(8);
    const RunResult run = which();
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out.rfind("zentavol-which ", 0), 0u);
    EXPECT_EQ(line(run, "class: ").substr(0, 9 + 1), "class: " + std::to_string(processorClass) + " (");
    EXPECT_EQ(line(run, "row "), "row " + std::to_string(processorClass) + ":" + codes);
    EXPECT_EQ(line(run, "override: "), "override: none (ZENTAVOL_VARIANT unset)");
    EXPECT_EQ(line(run, "tried "), "tried " + row.front() + ": loaded");
    EXPECT_EQ(line(run, "loaded: "), "loaded: " + row.front() + " (" + (folder.path() / fileOf(row.front())).string() + ")");
    EXPECT_EQ(line(run, "exports: "), "exports: all 16 found");
    // The kernels line of the 64-bit streaming builds, by the rule they
    // apply as they load.
    const char* value = std::getenv("ZENTAVOL_REFERENCE_PATHS");
    const bool reference = value != nullptr && qel::referenceSwitchValue(value[0] != '\0', value);
    std::string kernels = "(no line kernels: )";
    if (qel::kWidePaths && (row.front() == "Zentavols1" || row.front() == "Zentavols2")) {
        kernels = qel::wideBlockKernelsFor(qel::probeVectorUnits(), reference)
                      ? "kernels: 256-bit block kernels and real recombination (AVX)"
                      : std::string("kernels: 128-bit (") + (reference ? "ZENTAVOL_REFERENCE_PATHS is set" : "no AVX") + ")";
    }
    EXPECT_EQ(line(run, "kernels: "), kernels);
    std::string combining = "(no line combining stages: )";
    if (qel::kWidePaths) {
        const int width = qel::doubleCombineWidthFor(qel::probeVectorUnits());
        combining = reference    ? "combining stages: x87 (ZENTAVOL_REFERENCE_PATHS is set)"
                    : width == 0 ? "combining stages: x87 (no AVX2)"
                                 : "combining stages: doubles, " + std::to_string(width) + " butterflies at a time (" +
                                       (width == 8 ? "AVX-512" : "AVX2") + ")";
    }
    EXPECT_EQ(line(run, "combining stages: "), combining);
}

TEST_F(WhichTool, ShowsTheOverrideAndEachNamePassedOver) {
    putAll(folder, "Zentavolg2");
    RunResult run = which("n1");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(line(run, "override: "), "override: ZENTAVOL_VARIANT=n1 taken");
    EXPECT_EQ(line(run, "loaded: ").substr(0, 20), "loaded: Zentavoln1 (");

    run = which("g2");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(line(run, "override: ") + "\n",
              "override: " + refusal("g2", "Zentavolg2 did not load: no complete libZentavolg2.so.0 along the search path"));
    EXPECT_EQ(line(run, "tried "), "tried Zentavolg2 (the override): passed over: no complete libZentavolg2.so.0 along the search path");
    // The tool reports; it writes no refusal of its own to standard error.
    EXPECT_EQ(run.err.find("refused"), std::string::npos);

    // Nothing at all: every name of the row passed over, status 1.
    Folder empty;
    empty.putProgram(ZV_WHICH_TOOL, "zentavol-which");
    run = empty.runProgram("zentavol-which", "", empty.path().string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(line(run, "loaded: "), "loaded: none; applications fail: No Zentavol DLL was found");
}

TEST_F(WhichTool, HelpAndWrongArguments) {
    RunResult run = which("", "--help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: zentavol-which", 0), 0u);
    run = which("", "--frobnicate");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("zentavol-which: unknown argument --frobnicate\nUsage:", 0), 0u);
}

}  // namespace

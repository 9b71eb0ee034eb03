// SPDX-License-Identifier: MIT
// The front library's choice under the Windows loader, with stand-in variant
// DLLs in a folder beside a small application (choose.exe): the variant
// loaded is the first of the processor's preference row among those present,
// none present fails the front library's load, a variant that refuses its
// attach or whose file is cut short is passed over, and a missing export
// fails the load without trying further. The processor class is worked out
// here from cpuid on its own, as an independent check of the front library's
// probe.
#include <cpuid.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/variant_loader.h"

namespace {

const char* const kCodes[6] = {"g1", "g2", "n1", "n2", "s1", "s2"};
enum Variant { G1, G2, N1, N2, S1, S2 };
constexpr int kNone = 6;  // choose.exe: the front library did not load
// The exit status of a process whose DLL refused its initialisation
// (STATUS_DLL_INIT_FAILED).
constexpr DWORD kDllInitFailed = 0xC0000142;

// The variants tried, in order, for each processor class (no processor has
// class 1).
const std::vector<int> kRows[6] = {
    {G1}, {}, {N1, G1}, {N2, N1, G2, G1}, {S1, N2, N1, G2, G1}, {S2, S1, N2, N1, G2, G1},
};

int processorClass() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
    const unsigned family = (eax >> 8) & 0xF;
    const bool mmx = edx & (1u << 23), sse = edx & (1u << 25), sse2 = edx & (1u << 26);
    if (family == 15) return sse2 ? 5 : 0;
    if (family == 6) return sse ? 4 : mmx ? 3 : 0;
    if (family == 5) return mmx ? 2 : 0;
    return 0;
}

std::string programDir() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of("\\/"));
}

// What goes into the folder under each variant name: nothing, a stand-in, or
// the real variant DLL of that name built beside this program.
enum class Stand { Absent, Complete, Refusing, NoQelsMin, Real };

std::string sourceOf(const std::string& bin, Stand stand, int index) {
    switch (stand) {
        case Stand::Complete: return bin + "\\fake_variants\\zv_fake_complete.dll";
        case Stand::Refusing: return bin + "\\fake_variants\\zv_fake_refusing.dll";
        case Stand::NoQelsMin: return bin + "\\fake_variants\\zv_fake_no_qelsMin.dll";
        case Stand::Real: return bin + "\\Zentavol" + kCodes[index] + ".dll";
        case Stand::Absent: break;
    }
    return {};
}

class FrontChoice : public ::testing::Test {
protected:
    void SetUp() override {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        ASSERT_TRUE(GetVersionExA(&version));
        // The Windows 95 family would take row 0 whatever the processor.
        ASSERT_EQ(version.dwPlatformId, DWORD{VER_PLATFORM_WIN32_NT});
        row = kRows[processorClass()];
        ASSERT_FALSE(row.empty());
    }

    // Fills a fresh folder with the program (as choose.exe), Zentavol.dll and
    // the stand-ins, cuts the variant files named in `cuts` to the given
    // length, runs the program there and returns its exit code.
    int choose(const std::string& name, const Stand (&stands)[6], const char* program = "zv_front_choose.exe",
               const std::vector<std::pair<int, DWORD>>& cuts = {}) {
        const std::string bin = programDir();
        const std::string root = bin + "\\front_choice";
        const std::string folder = root + "\\" + name;
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        const auto copy = [&](const std::string& from, const std::string& to) {
            EXPECT_TRUE(CopyFileA(from.c_str(), (folder + "\\" + to).c_str(), FALSE)) << from;
        };
        copy(bin + "\\" + program, "choose.exe");
        copy(bin + "\\Zentavol.dll", "Zentavol.dll");
        for (int i = 0; i < 6; ++i) {
            const std::string target = folder + "\\Zentavol" + kCodes[i] + ".dll";
            DeleteFileA(target.c_str());
            if (stands[i] != Stand::Absent) copy(sourceOf(bin, stands[i], i), "Zentavol" + std::string(kCodes[i]) + ".dll");
        }
        for (const auto& [index, length] : cuts) {
            const std::string target = folder + "\\Zentavol" + kCodes[index] + ".dll";
            HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_NE(file, INVALID_HANDLE_VALUE) << target;
            EXPECT_NE(SetFilePointer(file, static_cast<LONG>(length), nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
            EXPECT_TRUE(SetEndOfFile(file));
            CloseHandle(file);
        }
        std::string command = "\"" + folder + "\\choose.exe\"";
        // The program's output goes to two files; ZENTAVOL_VARIANT reaches it
        // through the environment it inherits.
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const auto create = [&](const char* file) {
            return CreateFileA((folder + "\\" + file).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, 0, nullptr);
        };
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = create("out.txt");
        startup.hStdError = create("err.txt");
        SetEnvironmentVariableA("ZENTAVOL_VARIANT", overrideValue.empty() ? nullptr : overrideValue.c_str());
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            folder.c_str(), &startup, &process);
        SetEnvironmentVariableA("ZENTAVOL_VARIANT", nullptr);
        CloseHandle(startup.hStdOutput);
        CloseHandle(startup.hStdError);
        if (!started) {
            ADD_FAILURE() << "cannot start " << command;
            return -1;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        // C programs write text lines ending in CR LF here
        out = readFile(folder + "\\out.txt");
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        err = readFile(folder + "\\err.txt");
        return static_cast<int>(code);
    }

    static std::string readFile(const std::string& path) {
        std::string text;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return text;
        text.resize(GetFileSize(file, nullptr));
        DWORD got = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(file);
        text.resize(got);
        return text;
    }

    std::vector<int> row;
    std::string overrideValue;  // ZENTAVOL_VARIANT for the next run, unless empty
    std::string out, err;       // what the last run wrote
};

// Every subset of the six names present, each a complete stand-in.
TEST_F(FrontChoice, TheFirstOfTheRowAmongThePresentVariantsIsLoaded) {
    for (int mask = 0; mask < 64; ++mask) {
        Stand stands[6];
        for (int i = 0; i < 6; ++i) stands[i] = (mask >> i) & 1 ? Stand::Complete : Stand::Absent;
        int expected = kNone;
        for (int index : row) {
            if ((mask >> index) & 1) {
                expected = index;
                break;
            }
        }
        EXPECT_EQ(choose("subset" + std::to_string(mask), stands), expected) << "present: mask " << mask;
    }
}

TEST_F(FrontChoice, WithNoVariantPresentLoadingTheFrontLibraryFails) {
    const Stand none[6] = {};
    EXPECT_EQ(choose("none", none), kNone);
}

TEST_F(FrontChoice, AVariantThatRefusesItsAttachIsPassedOver) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    stands[row[0]] = Stand::Refusing;
    EXPECT_EQ(choose("refusing", stands), row.size() > 1 ? row[1] : kNone);
}

TEST_F(FrontChoice, AMissingExportFailsTheLoadWithoutTryingFurther) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    stands[row[0]] = Stand::NoQelsMin;
    EXPECT_EQ(choose("missing", stands), kNone);
}

// A length at which to cut a DLL; `loadable` when what is cut off is only
// discardable sections (the debugging information), which a loader may
// well do without.
struct Cut {
    DWORD length;
    bool loadable;
};

// Empty, inside the DOS header, inside the PE headers, inside each section.
std::vector<Cut> cutsOf(const std::string& dll) {
    std::vector<char> bytes;
    HANDLE file = CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    bytes.resize(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    std::memcpy(&dos, bytes.data(), sizeof dos);
    std::memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    std::vector<Cut> cuts = {{0, false}, {30, false}, {static_cast<DWORD>(dos.e_lfanew + sizeof nt / 2), false}};
    const std::size_t table =
        dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    bool onlyDiscardableAfter = true;  // walking back from the last section
    std::vector<Cut> inSections;
    for (int i = nt.FileHeader.NumberOfSections - 1; i >= 0; --i) {
        IMAGE_SECTION_HEADER section;
        std::memcpy(&section, bytes.data() + table + i * sizeof section, sizeof section);
        onlyDiscardableAfter = onlyDiscardableAfter && (section.Characteristics & IMAGE_SCN_MEM_DISCARDABLE) != 0;
        if (section.SizeOfRawData > 0)
            inSections.push_back({section.PointerToRawData + section.SizeOfRawData / 2, onlyDiscardableAfter});
    }
    cuts.insert(cuts.end(), inSections.rbegin(), inSections.rend());
    return cuts;
}

// A variant DLL cut short (an upgrade interrupted) never harms the process:
// it fails to load and the walk goes on with the next name, or, when only
// its debugging information is cut off, it may load and work.
TEST_F(FrontChoice, AVariantFileCutShortIsPassedOver) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    const std::vector<Cut> cuts = cutsOf(sourceOf(programDir(), Stand::Complete, 0));
    ASSERT_GT(cuts.size(), 4u);
    const int next = row.size() > 1 ? row[1] : kNone;
    for (const Cut& cut : cuts) {
        const int chosen = choose("cut" + std::to_string(cut.length), stands, "zv_front_choose.exe", {{row[0], cut.length}});
        if (cut.loadable && chosen == row[0]) continue;
        EXPECT_EQ(chosen, next) << "cut at " << cut.length;
    }
}

// The generic build itself, the variant every row ends with: chosen, bound
// name by name, and used by an application linked to the front library.
TEST_F(FrontChoice, TheRealGenericVariantIsChosenAndBound) {
    Stand real[6] = {};
    real[G1] = Stand::Real;
    EXPECT_EQ(choose("real_g1", real), G1);
    EXPECT_EQ(choose("real_g1_linked", real, "zv_front_linked.exe"), 0);
}

// Every real variant built: the row's first among them is chosen (S2 on a
// processor with SSE2), then, without it, the next one; a linked
// application runs on each.
// Every subset of the real DLLs of the machine's row: the first of the row
// among them is loaded; the linked application starts on each.
TEST_F(FrontChoice, EverySubsetOfTheRealVariantsLoadsTheFirstOfTheRow) {
    const auto built = zv::test::builtVariants();
    std::vector<int> present;
    for (int index : row)
        if (std::find(built.begin(), built.end(), kCodes[index]) != built.end()) present.push_back(index);
    ASSERT_FALSE(present.empty());
    for (unsigned mask = 1; mask < (1u << present.size()); ++mask) {
        Stand real[6] = {};
        int expected = kNone;
        for (std::size_t i = 0; i < present.size(); ++i) {
            if (((mask >> i) & 1) == 0) continue;
            real[present[i]] = Stand::Real;
            if (expected == kNone) expected = present[i];
        }
        EXPECT_EQ(choose("real" + std::to_string(mask), real), expected) << "present: mask " << mask;
    }
    Stand all[6] = {};
    for (int index : present) all[index] = Stand::Real;
    EXPECT_EQ(choose("real_linked", all, "zv_front_linked.exe"), 0);
}

// The application that links the import library starts when a variant
// loads, and does not start at all (the loader reports the failed
// initialisation of a DLL) when none is present.
TEST_F(FrontChoice, AnApplicationLinkedToTheFrontLibraryStartsOnlyWithAVariant) {
    Stand one[6] = {};
    one[G1] = Stand::Complete;
    EXPECT_EQ(choose("linked", one, "zv_front_linked.exe"), 0);
    const Stand none[6] = {};
    EXPECT_EQ(static_cast<DWORD>(choose("linked_none", none, "zv_front_linked.exe")), kDllInitFailed);
}

// ZENTAVOL_VARIANT: each of the six names loads that variant (this
// processor runs all of them); an unknown or missing one gives one line on
// standard error and the row's choice.
TEST_F(FrontChoice, TheOverrideLoadsTheVariantItNames) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    for (int index = 0; index < 6; ++index) {
        overrideValue = kCodes[index];
        EXPECT_EQ(choose(std::string("override_") + kCodes[index], stands), index);
        EXPECT_EQ(err, "") << kCodes[index];
    }
}

TEST_F(FrontChoice, AnUnknownOrMissingOverrideGivesOneLineAndTheRow) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    stands[G2] = Stand::Absent;
    overrideValue = "Zentavolg1.dll";
    EXPECT_EQ(choose("override_unknown", stands), row[0]);
    EXPECT_EQ(err, "Zentavol: ZENTAVOL_VARIANT=Zentavolg1.dll refused: not one of g1, g2, n1, n2, s1, s2; "
                   "the usual choice is made\n");
    overrideValue = "G2";
    EXPECT_EQ(choose("override_missing", stands), row[0]);
    EXPECT_EQ(err, "Zentavol: ZENTAVOL_VARIANT=G2 refused: Zentavolg2 did not load: not found along the DLL "
                   "search path; the usual choice is made\n");
}

// zentavol-which beside the DLLs: the system, the class, the row and the
// variant loaded, with and without the override.
TEST_F(FrontChoice, TheToolNamesTheSystemClassRowAndVariant) {
    Stand stands[6];
    for (Stand& s : stands) s = Stand::Complete;
    const auto has = [&](const std::string& text) { return out.find("\n" + text) != std::string::npos; };
    EXPECT_EQ(choose("which", stands, "zentavol-which.exe"), 0) << out;
    EXPECT_TRUE(has("system: Windows, platform 2 (NT family), version ")) << out;
    std::string codes;
    for (int index : row) codes += std::string(codes.empty() ? " " : ", ") + kCodes[index];
    int processorClass = 0;
    while (kRows[processorClass] != row) ++processorClass;
    EXPECT_TRUE(has("class: " + std::to_string(processorClass) + " (")) << out;
    EXPECT_TRUE(has("row " + std::to_string(processorClass) + ":" + codes + "\n")) << out;
    EXPECT_TRUE(has("loaded: Zentavol" + std::string(kCodes[row[0]]) + " (")) << out;

    overrideValue = "n1";
    EXPECT_EQ(choose("which_n1", stands, "zentavol-which.exe"), 0) << out;
    EXPECT_TRUE(has("override: ZENTAVOL_VARIANT=n1 taken\n")) << out;
    EXPECT_TRUE(has("loaded: Zentavoln1 (")) << out;
}

}  // namespace

// SPDX-License-Identifier: MIT
// zentavol-which: says which variant library this machine gets and why, with
// the front library's own probe, override check and walk (its internal core
// and platform backend linked in), as the first lines of a bug report.
// Links no variant; loads the one chosen, as the front library does.
#include <cstdio>
#include <cstring>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"
#include "platform/front_platform.h"
#include "runtime/processor.h"

namespace {

using namespace qel::front;
namespace platform = qel::platform;

// The accepted codes go between the two parts.
constexpr char kUsageHead[] =
    "Usage: zentavol-which [--help]\n"
    "Says which Zentavol variant library this machine gets and why: the processor\n"
    "(vendor, family, model, the feature bits the choice reads), the system, the\n"
    "processor class, its preference row, the ZENTAVOL_VARIANT override and its\n"
    "outcome, each library tried and why it was passed over, the one loaded, and\n"
    "for the 64-bit libraries how their FFTs' combining stages run and for the\n"
    "streaming builds whether their FFT kernels run 256-bit.\n"
    "It makes the choice as the front library does when an application loads it,\n"
    "looking for the libraries where an application beside this program would.\n"
    "Quote its output first in a bug report.\n"
    "\n"
    "ZENTAVOL_VARIANT=<code> (";
constexpr char kUsageTail[] =
    ") names the variant to load;\n"
    "one this processor cannot run, or that does not load, is refused with one\n"
    "line on standard error and the usual choice is made. A set-user-ID or\n"
    "otherwise privileged process ignores it, with one line on standard error.\n"
    "\n"
    "Exit status: 0 when a variant loads with all sixteen functions, 1 when the\n"
    "front library would fail to load, 2 for a wrong argument.\n";

const char* const kClassMeaning[kClassCount] = {
    "generic: no cpuid, another family, or a family without the features of its better builds",
    "produced by no processor",
    "family 5 with MMX",
    "family 6 with MMX, no SSE",
    "family 6 with SSE",
    "family 15 with SSE2",
};

const char* yesNo(std::uint32_t flags, std::uint32_t bit) { return (flags & bit) != 0 ? "yes" : "no"; }

void printProcessor(const Machine& machine) {
    if (!machine.hasCpuid) {
        std::printf("processor: no identification instruction (cpuid)\n");
        return;
    }
    const ProcessorInfo& p = machine.processor;
    // The choice reads the 4-bit family field only; the full family and
    // model (with their extended fields) tell processors apart for people.
    const std::uint32_t eax = machine.registers.leaf1Eax;
    const std::uint32_t fullFamily = p.family == 15 ? p.family + ((eax >> 20) & 0xFF) : p.family;
    const std::uint32_t fullModel = p.family == 6 || p.family == 15 ? p.model | (((eax >> 16) & 0xF) << 4) : p.model;
    std::printf("processor: %s, family %u, model %u, stepping %u (leaf 1 EAX 0x%08x: full family %u, full model %u)\n",
                machine.vendor, p.family, p.model, p.stepping, eax, fullFamily, fullModel);
    const std::uint32_t edx = p.featureFlags;
    std::printf("features: x87 %s, cmov %s, mmx %s, sse %s, sse2 %s (leaf 1 EDX 0x%08x)\n", yesNo(edx, kFeatureFpu),
                yesNo(edx, kFeatureCmov), yesNo(edx, kFeatureMmx), yesNo(edx, kFeatureSse), yesNo(edx, kFeatureSse2),
                edx);
}

void printSystem(const Machine& machine) {
    platform::OsVersionInfo version{};
    version.size = platform::kOsVersionInfoExSize;
    bool known = platform::getVersionEx(&version);
    if (!known) {
        version.size = platform::kOsVersionInfoSize;
        known = platform::getVersionEx(&version);
    }
    const char* old = machine.oldSystem ? "yes: the generic row whatever the processor" : "no";
    if (!known) {
        std::printf("system: version unknown; old system: %s\n", old);
    } else if (version.platformId == platform::kPlatformPosix) {
        std::printf("system: Linux %u.%u; old system: %s\n", version.majorVersion, version.minorVersion, old);
    } else {
        const char* family = version.platformId == platform::kPlatformWin32Nt        ? " (NT family)"
                             : version.platformId == platform::kPlatformWin32Windows ? " (Windows 95 family)"
                                                                                     : "";
        version.servicePack[sizeof version.servicePack - 1] = '\0';
        std::printf("system: Windows, platform %u%s, version %u.%u build %u%s%s; old system: %s\n",
                    version.platformId, family, version.majorVersion, version.minorVersion,
                    version.buildNumber & 0xFFFF, version.servicePack[0] != '\0' ? ", " : "", version.servicePack,
                    old);
    }
}

void printOverride(const Choice& choice) {
    switch (choice.overrideState) {
        case OverrideState::None:
            std::printf("override: none (%s unset)\n", kOverrideVariable);
            break;
        case OverrideState::Taken:
            std::printf("override: %s=%s taken\n", kOverrideVariable, choice.overrideValue);
            break;
        default:
            // The line the front library writes to standard error.
            std::printf("override: %s\n", choice.overrideLine);
            break;
    }
}

// The choice the 64-bit streaming builds make as they load, by the same rule
// on the same probe: their block kernels and real recombination 256-bit
// with AVX, unless the reference switch is on. No line for other builds.
void printKernels(int variant) {
    if (!qel::kWidePaths || !kVariantAvxKernels[variant]) return;
    char value[3];
    const bool set = platform::getEnvironmentVariable("ZENTAVOL_REFERENCE_PATHS", value, sizeof value);
    const bool reference = qel::referenceSwitchValue(set, value);
    const qel::VectorUnits units = qel::probeVectorUnits();
    if (qel::wideBlockKernelsFor(units, reference))
        std::printf("kernels: 256-bit block kernels and real recombination (AVX)\n");
    else
        std::printf("kernels: 128-bit (%s)\n", reference ? "ZENTAVOL_REFERENCE_PATHS is set" : "no AVX");
}

// The 64-bit libraries' combining stages, by the rule they apply as they
// load. No line for the 32-bit ones, whose stages are the x87 loop alone.
void printCombining() {
    if (!qel::kWidePaths) return;
    char value[3];
    const bool set = platform::getEnvironmentVariable("ZENTAVOL_REFERENCE_PATHS", value, sizeof value);
    const int width = qel::doubleCombineWidthFor(qel::probeVectorUnits());
    if (qel::referenceSwitchValue(set, value))
        std::printf("combining stages: x87 (ZENTAVOL_REFERENCE_PATHS is set)\n");
    else if (width == 0)
        std::printf("combining stages: x87 (no AVX2)\n");
    else
        std::printf("combining stages: doubles, %d butterflies at a time (%s)\n", width,
                    width == 8 ? "AVX-512" : "AVX2");
}

// 1 when every name of the binding table is found, else 0 after naming the
// first missing one, the one the front library would report.
int printExports(platform::ModuleHandle module) {
    int found = 0;
    for (const Binding* binding = kBindingTable; binding->name != nullptr; ++binding, ++found) {
        if (platform::getProcAddress(module, binding->name) == nullptr) {
            std::printf("exports: %s missing; applications fail: Unable to find function address %s\n",
                        binding->name, binding->name);
            return 0;
        }
    }
    std::printf("exports: all %d found\n", found);
    return 1;
}

int report() {
    const Machine machine = probeMachine();
    Choice choice;
    chooseVariant(machine, platform::isSecureProcess(), &choice, false);

    std::printf("zentavol-which %s: the variant this machine gets, and why\n", ZV_VERSION);
    printProcessor(machine);
    printSystem(machine);
    std::printf("class: %d (%s)\n", choice.processorClass, kClassMeaning[choice.processorClass]);
    std::printf("row %d:", choice.row);
    for (int i = 0; kPreferenceRows[choice.row][i] != kRowEnd; ++i)
        std::printf("%s %s", i == 0 ? "" : ",", kVariantCodes[kPreferenceRows[choice.row][i]]);
    std::printf("%s\n", choice.overrideState == OverrideState::Taken ? " (not walked: the override was taken)" : "");
    printOverride(choice);
    for (int i = 0; i < choice.attemptCount; ++i) {
        const Attempt& attempt = choice.attempts[i];
        const bool named = i == 0 && choice.overrideVariant == attempt.variant &&
                           (choice.overrideState == OverrideState::Taken || choice.overrideState == OverrideState::Missing);
        std::printf("tried %s%s: %s%s\n", kVariantNames[attempt.variant], named ? " (the override)" : "",
                    attempt.loaded ? "loaded" : "passed over: ", attempt.loaded ? "" : attempt.whyNot);
    }
    if (choice.module == nullptr) {
        std::printf("loaded: none; applications fail: No Zentavol DLL was found\n");
        return 1;
    }
    char file[1024];
    std::printf("loaded: %s (%s)\n", kVariantNames[choice.loadedVariant],
                platform::moduleFileName(choice.module, file, sizeof file) ? file : "file unknown");
    printKernels(choice.loadedVariant);
    printCombining();
    const int complete = printExports(choice.module);
    platform::freeLibrary(choice.module);
    return complete ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s%s%s", kUsageHead, kVariantCodeChoice, kUsageTail);
        return 0;
    }
    if (argc > 1) {
        std::fprintf(stderr, "zentavol-which: unknown argument %s\n%s%s%s", argv[1], kUsageHead, kVariantCodeChoice,
                     kUsageTail);
        return 2;
    }
    const int status = report();
    std::fflush(stdout);
    return status;
}

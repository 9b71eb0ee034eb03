// SPDX-License-Identifier: MIT
// Processor classification and the old-system test, from values the probe
// read (or a test made up).
#include "front/classify.h"

#include <cstring>

#include "front/tables.h"

namespace qel::front {

int identificationFlagChanged(std::uint32_t before, std::uint32_t after) {
    return ((before ^ after) & kIdentificationFlag) != 0 ? 1 : 0;
}

void decodeProcessorInfo(const CpuidRegisters& registers, ProcessorInfo* info) {
    const std::uint32_t eax = registers.leaf1Eax;
    const std::uint32_t edx = registers.leaf1Edx;
    info->family = (eax >> 8) & 0xF;
    info->stepping = eax & 0xF;
    info->model = (eax >> 4) & 0xF;
    info->featureFlags = edx;
    info->descriptorsA = registers.leaf2Eax;
    info->descriptorsD = registers.leaf2Edx;
    info->hasMmx = (edx >> 23) & 1;
    info->hasSse = (edx >> 25) & 1;
    info->hasSse2 = (edx >> 26) & 1;
}

int classifyProcessorInfo(const ProcessorInfo& info) {
    switch (info.family) {
        case 15:
            // SSE without SSE2 does not earn the SSE build on this family.
            return info.hasSse2 ? 5 : 0;
        case 6:
            // SSE2 is not consulted here, and without MMX the x87 build G2 is
            // never a first choice.
            if (info.hasSse) return 4;
            return info.hasMmx ? 3 : 0;
        case 5:
            return info.hasMmx ? 2 : 0;
        default:
            return 0;
    }
}

int classifyWith(const ProcessorProbe& probe) {
    if (!probe.hasCpuid()) return 0;
    ProcessorInfo info;
    probe.readProcessorInfo(&info);
    return classifyProcessorInfo(info);
}

int classOf(const Machine& machine) { return machine.hasCpuid ? classifyProcessorInfo(machine.processor) : 0; }

int variantOfCode(const char* text) {
    if (text == nullptr) return -1;
    for (int variant = 0; variant < kVariantCount; ++variant) {
        const char* code = kVariantCodes[variant];
        const char letter = text[0] >= 'A' && text[0] <= 'Z' ? static_cast<char>(text[0] - 'A' + 'a') : text[0];
        if (letter == code[0] && text[1] == code[1] && text[2] == '\0') return variant;
    }
    return -1;
}

const char* missingForVariant(int variant, const Machine& machine) {
    if (variant < 0 || variant >= kVariantCount) return "a known variant";
    const VariantNeeds& needs = kVariantNeeds[variant];
    if (needs.features == 0 && needs.family == 0) return nullptr;
    if (!machine.hasCpuid) return "the identification instruction (cpuid)";
    if (machine.processor.family < needs.family) return "a family-5 or later processor";
    // In the order a reader expects: the oldest instruction set first.
    static constexpr struct {
        std::uint32_t bit;
        const char* name;
    } kFeatures[] = {{kFeatureFpu, "an x87 unit"}, {kFeatureCmov, "conditional moves"}, {kFeatureMmx, "MMX"},
                     {kFeatureSse, "SSE"},         {kFeatureSse2, "SSE2"}};
    for (const auto& feature : kFeatures)
        if ((needs.features & feature.bit) != 0 && (machine.processor.featureFlags & feature.bit) == 0)
            return feature.name;
    if (needs.currentSystem && machine.oldSystem) return "a system that saves SSE registers";
    return nullptr;
}

int isOldWindowsWith(bool (*getVersionEx)(platform::OsVersionInfo* info)) {
    platform::OsVersionInfo version;
    std::memset(&version, 0, sizeof version);
    version.size = platform::kOsVersionInfoExSize;
    if (!getVersionEx(&version)) {
        // Systems before the extended record only know the plain one.
        version.size = platform::kOsVersionInfoSize;
        if (!getVersionEx(&version)) return 1;
    }
    if (version.platformId != platform::kPlatformWin32Windows) return 0;
    if (version.majorVersion > 4) return 0;
    if (version.majorVersion < 4) return 1;
    return version.minorVersion == 0 ? 1 : 0;
}

}  // namespace qel::front

// Processor classification and the old-system test, from values the probe
// read (or a test made up). Linked by libZentavol.
#include "front/classify.h"

#include <cstring>

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

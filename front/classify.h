// SPDX-License-Identifier: MIT
// The decisions of the processor and system probe as pure functions of the
// values the probe read, so that every case can be fed in by a test. Linked
// by libZentavol.
#pragma once

#include <cstdint>

#include "platform/front_platform.h"

namespace qel::front {

// What cpuid leaves 1 and 2 tell; only family and the three feature flags
// take part in the classification.
struct ProcessorInfo {
    std::uint32_t family;        // the 4-bit family field; the extended family is not read
    std::uint32_t stepping;
    std::uint32_t model;
    std::uint32_t featureFlags;  // leaf 1 EDX
    std::uint32_t descriptorsA;  // leaf 2 EAX
    std::uint32_t descriptorsD;  // leaf 2 EDX
    int hasMmx;
    int hasSse;
    int hasSse2;
};

// The registers readProcessorInfo takes its fields from.
struct CpuidRegisters {
    std::uint32_t leaf1Eax;
    std::uint32_t leaf1Edx;
    std::uint32_t leaf2Eax;
    std::uint32_t leaf2Edx;
};

inline constexpr std::uint32_t kIdentificationFlag = 0x200000;  // EFLAGS bit 21

// 1 when bit 21 read back differs from bit 21 first read; no other bit counts.
int identificationFlagChanged(std::uint32_t before, std::uint32_t after);

void decodeProcessorInfo(const CpuidRegisters& registers, ProcessorInfo* info);

// The class 0..5 of a processor that has cpuid.
int classifyProcessorInfo(const ProcessorInfo& info);

// The whole classification over the two probe steps; readProcessorInfo is not
// called when hasCpuid answers 0.
struct ProcessorProbe {
    int (*hasCpuid)();
    void (*readProcessorInfo)(ProcessorInfo* info);
};
int classifyWith(const ProcessorProbe& probe);

// What the probe found, as the choice uses it.
struct Machine {
    int hasCpuid;
    CpuidRegisters registers;  // zero without cpuid
    char vendor[13];           // leaf 0, empty without cpuid
    ProcessorInfo processor;   // decoded from registers
    int oldSystem;             // isOldWindows
};

// The processor class of the machine (0 without cpuid).
int classOf(const Machine& machine);

// The variant index a ZENTAVOL_VARIANT value names: exactly one of the six
// codes, in any case; -1 for anything else.
int variantOfCode(const char* text);

// What the machine lacks to run the variant, in words for a message ("SSE2",
// "conditional moves"); null when it can run it.
const char* missingForVariant(int variant, const Machine& machine);

// 1 when the version query says "Windows 95 family, 4.0 or older" or cannot
// be answered in either record form, else 0.
int isOldWindowsWith(bool (*getVersionEx)(platform::OsVersionInfo* info));

}  // namespace qel::front

// Reads the processor's identification (EFLAGS bit 21, cpuid leaves 1 and 2)
// and the system's version, and hands the values to the pure decisions of
// classify.cpp. Linked by libZentavol.
#include "front/probe.h"

#include <cpuid.h>

#include <cstdint>

namespace qel::front {

namespace {

// x86-64 leaf code may keep data in the 128 bytes below the stack pointer,
// which push would overwrite; step over them first. lea leaves the flags be.
#if defined(__x86_64__)
#define QEL_SKIP_RED_ZONE "lea -128(%%rsp), %%rsp\n\t"
#define QEL_RESTORE_RED_ZONE "lea 128(%%rsp), %%rsp\n\t"
#else
#define QEL_SKIP_RED_ZONE ""
#define QEL_RESTORE_RED_ZONE ""
#endif

}  // namespace

int hasCpuid() {
    // Flip the identification flag, read it back, and put the original
    // flags back whatever happened.
    std::uintptr_t before;
    std::uintptr_t after;
    asm volatile(QEL_SKIP_RED_ZONE
                 "pushf\n\t"
                 "pop %0\n\t"
                 "mov %0, %1\n\t"
                 "xor %2, %1\n\t"
                 "push %1\n\t"
                 "popf\n\t"
                 "pushf\n\t"
                 "pop %1\n\t"
                 "push %0\n\t"
                 "popf\n\t" QEL_RESTORE_RED_ZONE
                 : "=&r"(before), "=&r"(after)
                 : "i"(kIdentificationFlag)
                 : "cc", "memory");
    return identificationFlagChanged(static_cast<std::uint32_t>(before),
                                     static_cast<std::uint32_t>(after));
}

void readProcessorInfo(ProcessorInfo* info) {
    unsigned eax, ebx, ecx, edx;
    CpuidRegisters registers{};
    __cpuid(1, eax, ebx, ecx, edx);
    registers.leaf1Eax = eax;
    registers.leaf1Edx = edx;
    __cpuid(2, eax, ebx, ecx, edx);
    registers.leaf2Eax = eax;
    registers.leaf2Edx = edx;
    decodeProcessorInfo(registers, info);
}

int classifyProcessor() { return classifyWith({hasCpuid, readProcessorInfo}); }

int isOldWindows() { return isOldWindowsWith(platform::getVersionEx); }

}  // namespace qel::front

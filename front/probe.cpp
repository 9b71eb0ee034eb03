// SPDX-License-Identifier: MIT
// Reads the processor's identification (EFLAGS bit 21, cpuid leaves 1 and 2)
// and the system's version, and hands the values to the pure decisions of
// classify.cpp.
#include "front/probe.h"

#include <cpuid.h>

#include <cstdint>
#include <cstring>

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

void readCpuidRegisters(CpuidRegisters* registers) {
    unsigned eax, ebx, ecx, edx;
    __cpuid(1, eax, ebx, ecx, edx);
    registers->leaf1Eax = eax;
    registers->leaf1Edx = edx;
    __cpuid(2, eax, ebx, ecx, edx);
    registers->leaf2Eax = eax;
    registers->leaf2Edx = edx;
}

void readProcessorInfo(ProcessorInfo* info) {
    CpuidRegisters registers{};
    readCpuidRegisters(&registers);
    decodeProcessorInfo(registers, info);
}

void readVendor(char (&vendor)[13]) {
    unsigned eax, ebx, ecx, edx;
    __cpuid(0, eax, ebx, ecx, edx);
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    vendor[12] = '\0';
}

Machine probeMachine() {
    Machine machine{};
    machine.hasCpuid = hasCpuid();
    if (machine.hasCpuid) {
        readVendor(machine.vendor);
        readCpuidRegisters(&machine.registers);
        decodeProcessorInfo(machine.registers, &machine.processor);
    }
    machine.oldSystem = isOldWindows();
    return machine;
}

int classifyProcessor() { return classifyWith({hasCpuid, readProcessorInfo}); }

int isOldWindows() { return isOldWindowsWith(platform::getVersionEx); }

}  // namespace qel::front

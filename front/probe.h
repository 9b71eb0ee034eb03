// SPDX-License-Identifier: MIT
// The processor and system probe: the only code of the front library that
// runs cpuid, touches EFLAGS or asks the system's version.
#pragma once

#include "front/classify.h"

namespace qel::front {

// 1 when the processor has the identification instruction.
int hasCpuid();

// cpuid leaves 1 and 2 into the record.
void readProcessorInfo(ProcessorInfo* info);

// The raw registers behind it.
void readCpuidRegisters(CpuidRegisters* registers);

// The vendor string of leaf 0 (12 characters and a zero).
void readVendor(char (&vendor)[13]);

// Everything the choice and zentavol-which need to know of this machine.
Machine probeMachine();

// The processor class 0..5 of this machine.
int classifyProcessor();

// 1 on an old Windows version, or when the version cannot be read.
int isOldWindows();

}  // namespace qel::front

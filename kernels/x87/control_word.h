// SPDX-License-Identifier: MIT
// The x87 control word and exception flags, for the kernels of the x87
// builds that set a rounding or precision mode for a call (their callers'
// word comes back before they return).
#pragma once

#include <cstdint>

namespace qel::x87 {

// The "memory" clobbers keep every x87 instruction of the kernels' own asm
// statements (all of them touch memory) on the right side of a mode change.
inline std::uint16_t x87ControlWord() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word) : : "memory");
    return word;
}

inline void setX87ControlWord(std::uint16_t word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

// Clears the sticky exception flags (and a pending unmasked exception, which
// would otherwise fire at the next x87 instruction after a new word).
inline void clearX87Exceptions() { asm volatile("fnclex" : : : "memory"); }

}  // namespace qel::x87

// SPDX-License-Identifier: MIT
// Reading and loading the x87 control word (precision and rounding fields),
// for kernels that change it for a loop and put the caller's back after it.
// Used by the x87 builds' kernels; GNU inline assembly, x86 and x86-64.
#pragma once

#include <cstdint>

namespace qel {

// Precision control, bits 8-9: 00 24 bits, 10 53 bits, 11 64 bits.
inline constexpr std::uint16_t kX87PrecisionMask = 0x0300;
inline constexpr std::uint16_t kX87Precision24 = 0x0000;
// Rounding control, bits 10-11: 00 nearest, 01 down, 10 up, 11 toward zero.
inline constexpr std::uint16_t kX87RoundingMask = 0x0C00;

inline std::uint16_t x87ControlWord() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

// The memory clobber keeps loads and stores of the kernel's data on their
// side of the change, so every value in between computes under the new word.
inline void setX87ControlWord(std::uint16_t word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

}  // namespace qel

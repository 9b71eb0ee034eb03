// SPDX-License-Identifier: MIT
// The floating-point environment: the fields of the x87 control word and of
// the SSE control/status register, their accessors, and scoped guards that
// set fields for a call and give the caller's value back. Every code that
// changes a mode goes through here, so each change is made and undone in
// one place. Header only: a file reaches the MMX and SSE parts only where it
// is compiled with those instruction sets.
#pragma once

#include <cfenv>
#include <cstdint>

#if defined(__MMX__)
#include <mmintrin.h>
#endif
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace qel::fp {

// The x87 control word.
inline constexpr std::uint16_t kX87ExceptionMasks = 0x003F;  // invalid .. precision, all masked
inline constexpr std::uint16_t kX87Bit6 = 0x0040;            // reserved, set by fninit
inline constexpr std::uint16_t kX87PrecisionField = 0x0300;
inline constexpr std::uint16_t kX87Precision24 = 0x0000;
inline constexpr std::uint16_t kX87Precision53 = 0x0200;
inline constexpr std::uint16_t kX87Precision64 = 0x0300;
inline constexpr std::uint16_t kX87RoundingField = 0x0C00;
inline constexpr std::uint16_t kX87RoundNearest = 0x0000;
inline constexpr std::uint16_t kX87RoundDown = 0x0400;
inline constexpr std::uint16_t kX87RoundUp = 0x0800;
inline constexpr std::uint16_t kX87RoundTowardZero = 0x0C00;

// The SSE control/status register (MXCSR).
inline constexpr unsigned kSseExceptionFlags = 0x003Fu;
inline constexpr unsigned kSseDenormalsAreZero = 0x0040u;
inline constexpr unsigned kSseExceptionMasks = 0x1F80u;
inline constexpr unsigned kSseRoundingField = 0x6000u;
inline constexpr unsigned kSseRoundNearest = 0x0000u;
inline constexpr unsigned kSseRoundDown = 0x2000u;
inline constexpr unsigned kSseRoundUp = 0x4000u;
inline constexpr unsigned kSseRoundTowardZero = 0x6000u;
inline constexpr unsigned kSseFlushToZero = 0x8000u;

#if defined(__i386__) || defined(__x86_64__)
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

// Whether an X87Scope clears the exception flags before each of its two
// loads of the control word.
enum class X87Flags { keep, clear };

// For the scope: the caller's word with the `fields` replaced by `value`;
// the caller's word again at the end.
class X87Scope {
public:
    X87Scope(std::uint16_t fields, std::uint16_t value, X87Flags flags = X87Flags::keep)
        : saved_(x87ControlWord()), flags_(flags) {
        if (flags_ == X87Flags::clear) clearX87Exceptions();
        setX87ControlWord(static_cast<std::uint16_t>((saved_ & ~fields) | value));
    }
    ~X87Scope() {
        if (flags_ == X87Flags::clear) clearX87Exceptions();
        setX87ControlWord(saved_);
    }
    X87Scope(const X87Scope&) = delete;
    X87Scope& operator=(const X87Scope&) = delete;

private:
    std::uint16_t saved_;
    X87Flags flags_;
};
#endif

#if defined(__SSE__)
inline unsigned sseControl() { return _mm_getcsr(); }
inline void setSseControl(unsigned value) { _mm_setcsr(value); }

// For the scope: the caller's register with the `fields` replaced by
// `value`; the caller's whole register at the end, so the exception flags
// raised in between are gone too.
class SseScope {
public:
    SseScope(unsigned fields, unsigned value) : saved_(sseControl()) { setSseControl((saved_ & ~fields) | value); }
    ~SseScope() { setSseControl(saved_); }
    SseScope(const SseScope&) = delete;
    SseScope& operator=(const SseScope&) = delete;

private:
    unsigned saved_;
};

// Leaves the register as the scope found it: the exception flags raised in
// between are cleared (written back only when something changed).
class SseFlagsScope {
public:
    SseFlagsScope() : saved_(sseControl()) {}
    ~SseFlagsScope() {
        if (sseControl() != saved_) setSseControl(saved_);
    }
    SseFlagsScope(const SseFlagsScope&) = delete;
    SseFlagsScope& operator=(const SseFlagsScope&) = delete;
    unsigned caller() const { return saved_; }

private:
    unsigned saved_;
};
#endif

// Rounding to nearest for the scope in every unit the build computes in,
// the caller's modes again at the end. A 32-bit build without SSE sets the
// x87 control word alone: the C runtime's fesetround also probes for and
// writes the SSE control register, instructions such a build must not
// contain.
#if defined(__i386__) && !defined(__SSE__)
class NearestRounding {
public:
    NearestRounding() : x87_(kX87RoundingField, kX87RoundNearest) {}

private:
    X87Scope x87_;
};
#else
class NearestRounding {
public:
    NearestRounding() : saved_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~NearestRounding() { std::fesetround(saved_); }
    NearestRounding(const NearestRounding&) = delete;
    NearestRounding& operator=(const NearestRounding&) = delete;

private:
    int saved_;
};
#endif

#if defined(__MMX__)
// Empties the MMX state at the end of the scope, so that x87 code after it
// finds an empty register stack.
struct MmxScope {
    MmxScope() = default;
    ~MmxScope() { _mm_empty(); }
    MmxScope(const MmxScope&) = delete;
    MmxScope& operator=(const MmxScope&) = delete;
};
#endif

}  // namespace qel::fp

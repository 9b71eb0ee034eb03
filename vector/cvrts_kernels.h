// SPDX-License-Identifier: MIT
// What a family's conversion kernels look like to qelcvrts.cpp, which reads
// the size and flags once and calls the kernel of the integer type T and the
// handling of out-of-range elements:
//
//   template <typename T, bool Saturate, bool Report>
//   void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode);
//   template <typename T>
//   void intToFloat(const unsigned char* src, float* dst, int len);
//
// in the family's namespace, which the build names in its variant.h. dst
// (or src) holds len values of T at any alignment; the arguments have
// passed their checks. A family's file defines the templates and
// instantiates them all with QEL_CONVERSION_KERNELS.
#pragma once

#include <cstdint>

namespace qel::cvrt {

// The rounding flag, in the order of its bits (QEL_CVT_NEAREST 0x80 up to
// QEL_CVT_CEIL 0x400).
enum class Rounding { nearest, truncate, floor, ceil };

}  // namespace qel::cvrt

// Every integer type with every handling of out-of-range elements; Result
// is the float-to-integer kernels' return type.
#define QEL_CONVERSION_KERNELS_OF(Result, T)                                                        \
    template Result floatToInt<T, false, false>(const float*, unsigned char*, int, cvrt::Rounding); \
    template Result floatToInt<T, false, true>(const float*, unsigned char*, int, cvrt::Rounding);  \
    template Result floatToInt<T, true, false>(const float*, unsigned char*, int, cvrt::Rounding);  \
    template Result floatToInt<T, true, true>(const float*, unsigned char*, int, cvrt::Rounding);   \
    template void intToFloat<T>(const unsigned char*, float*, int);
#define QEL_CONVERSION_KERNELS(Result)                    \
    QEL_CONVERSION_KERNELS_OF(Result, std::int8_t)        \
    QEL_CONVERSION_KERNELS_OF(Result, std::uint8_t)       \
    QEL_CONVERSION_KERNELS_OF(Result, std::int16_t)       \
    QEL_CONVERSION_KERNELS_OF(Result, std::uint16_t)      \
    QEL_CONVERSION_KERNELS_OF(Result, std::int32_t)       \
    QEL_CONVERSION_KERNELS_OF(Result, std::uint32_t)

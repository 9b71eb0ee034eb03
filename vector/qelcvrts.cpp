// SPDX-License-Identifier: MIT
// qelcvrts: the conversions qelsbFloatToInt and qelsbIntToFloat, the real
// parts qelcbReal, the magnitudes qelcbMag and the internal power spectrum
// qelcbPowerSpectr. Checks and magnitudes are the same in every build, and
// so is the choice of conversion kernel by integer type, rounding and
// out-of-range handling; the kernels, the copy of the real parts and the
// square root come from the build's family (variant.h).
#include <bit>
#include <cstddef>
#include <cstdint>

#include "kernels/simd/mag_wide.h"
#include "platform/platform.h"
#include "runtime/api.h"
#include "runtime/diagnostics.h"
#include "runtime/report_lines.h"
#include "runtime/status.h"
#include "variant.h"
#include "vector/cvrts_kernels.h"
#include "vector/internal.h"
#include "vector/power_x87.h"
#include "vector/wide_paths.h"

namespace {

constexpr const char* kModule = "qelcvrts";

namespace line = qel::line;

constexpr unsigned kRoundingBits = QEL_CVT_NEAREST | QEL_CVT_TRUNCATE | QEL_CVT_FLOOR | QEL_CVT_CEIL;

// Vectors of at most this many elements, and the tail of longer ones, get
// their magnitudes directly in extended precision; the rest go block by
// block through a stack block of this many floats.
constexpr int kMagBlock = 128;

void reportConversion(const char* funcName, const char* condition, int lineNumber) {
    qelReportBadArgument(funcName, condition, kModule, lineNumber);  // never stops the checks
}

// The checks of both conversions: every one is made and reported, so one
// call can report several; the caller stops when any was.
bool conversionArgumentsFail(const char* funcName, const void* src, const void* dst, int len,
                             int size, bool flagsBad, int lineNumber) {
    qelSetStatus(QEL_STATUS_OK);
    if (len < 1) reportConversion(funcName, "len<=0", lineNumber);
    if (src == nullptr) reportConversion(funcName, "src==0", lineNumber);
    if (dst == nullptr) reportConversion(funcName, "dst==0", lineNumber);
    if (size != 8 && size != 16 && size != 32)
        reportConversion(funcName, "Invalid size of an integer", lineNumber);
    if (flagsBad) reportConversion(funcName, "Invalid conversion flag", lineNumber);
    return qelGetStatus() < 0;
}

// The build's kernel of the integer type T, with the handling of
// out-of-range elements that the flags ask for and their one rounding bit
// (0x80 nearest, 0x100 truncate, 0x200 floor, 0x400 ceil) as the mode.
template <typename T>
void floatToIntOf(const float* src, unsigned char* dst, int len, int flags) {
    namespace variant = qel::variant;
    const auto mode = static_cast<qel::cvrt::Rounding>(
        std::countr_zero(static_cast<unsigned>(flags) & kRoundingBits) - std::countr_zero(unsigned{QEL_CVT_NEAREST}));
    const bool saturate = (flags & QEL_CVT_SATURATE) != 0;
    const bool report = (flags & QEL_CVT_REPORT) != 0;
    if (saturate && report) return variant::floatToInt<T, true, true>(src, dst, len, mode);
    if (saturate) return variant::floatToInt<T, true, false>(src, dst, len, mode);
    if (report) return variant::floatToInt<T, false, true>(src, dst, len, mode);
    variant::floatToInt<T, false, false>(src, dst, len, mode);
}

// Each magnitude in extended precision, or with its bits in doubles where
// the caller's modes are the default ones (`wide`).
void magnitudesDirect(const SComplex* src, float* mag, std::size_t count, bool wide) {
    if constexpr (qel::wide::kAvailable)
        if (wide && qel::wide::magnitudesInModes(src, mag, count)) return;
    for (std::size_t i = 0; i < count; ++i) mag[i] = qel::magnitudeX87(src[i]);
}

}  // namespace

namespace qel {

void reportUnconvertibleElement(bool negativeToUnsigned) {
    qelReportBadArgument("qelsbFloatToInt",
                         negativeToUnsigned ? "A negative float cannot be converted to unsigned"
                                            : "A float exceeds an integer",
                         kModule, line::qelsbFloatToIntElement);
}

}  // namespace qel

QEL_EXPORT void qelsbFloatToInt(const float* src, void* dst, int len, int size, int flags) {
    const bool oneRounding = std::popcount(static_cast<unsigned>(flags) & kRoundingBits) == 1;
    if (conversionArgumentsFail("qelsbFloatToInt", src, dst, len, size, !oneRounding,
                                line::qelsbFloatToInt))
        return;
    const bool isUnsigned = (flags & QEL_CVT_UNSIGNED) != 0;
    auto* to = static_cast<unsigned char*>(dst);
    if (size == 8)
        return isUnsigned ? floatToIntOf<std::uint8_t>(src, to, len, flags)
                          : floatToIntOf<std::int8_t>(src, to, len, flags);
    if (size == 16)
        return isUnsigned ? floatToIntOf<std::uint16_t>(src, to, len, flags)
                          : floatToIntOf<std::int16_t>(src, to, len, flags);
    isUnsigned ? floatToIntOf<std::uint32_t>(src, to, len, flags) : floatToIntOf<std::int32_t>(src, to, len, flags);
}

QEL_EXPORT void qelsbIntToFloat(const void* src, float* dst, int len, int size, int flags) {
    const bool flagsBad = flags != 0 && flags != QEL_CVT_UNSIGNED;
    if (conversionArgumentsFail("qelsbIntToFloat", src, dst, len, size, flagsBad,
                                line::qelsbIntToFloat))
        return;
    namespace variant = qel::variant;
    const bool isUnsigned = flags == QEL_CVT_UNSIGNED;
    const auto* from = static_cast<const unsigned char*>(src);
    if (size == 8)
        return isUnsigned ? variant::intToFloat<std::uint8_t>(from, dst, len)
                          : variant::intToFloat<std::int8_t>(from, dst, len);
    if (size == 16)
        return isUnsigned ? variant::intToFloat<std::uint16_t>(from, dst, len)
                          : variant::intToFloat<std::int16_t>(from, dst, len);
    isUnsigned ? variant::intToFloat<std::uint32_t>(from, dst, len)
               : variant::intToFloat<std::int32_t>(from, dst, len);
}

QEL_EXPORT void qelcbReal(const SComplex* src, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelcbReal", "length<=0", kModule, line::qelcbReal);
    if (src == nullptr) return qelReportBadArgument("qelcbReal", "src==0", kModule, line::qelcbReal);
    if (dst == nullptr) return qelReportBadArgument("qelcbReal", "dst==0", kModule, line::qelcbReal);
    qel::variant::realParts(src, dst, n);
}

void qelcbPowerSpectr(const SComplex* src, float* spectr, int n) {
    if (n < 1)
        return qelReportBadArgument("qelcbPowerSpectr", "length<=0", kModule, line::qelcbPowerSpectr);
    if (spectr == nullptr)
        return qelReportBadArgument("qelcbPowerSpectr", "spectr==0", kModule, line::qelcbPowerSpectr);
    if (src == nullptr)
        return qelReportBadArgument("qelcbPowerSpectr", "src==0", kModule, line::qelcbPowerSpectr);
    const std::size_t count = static_cast<std::size_t>(n);
    if constexpr (qel::wide::kAvailable)
        if (!qel::referencePaths() && qel::wide::powerSpectrum(src, spectr, count)) return;
    std::size_t i = 0;
    if (count >= 9)
        for (; count - i >= 8; i += 8)
            for (std::size_t k = 0; k < 8; ++k) spectr[i + k] = qel::powerX87(src[i + k]);
    for (; count - i >= 2; i += 2) {
        spectr[i] = qel::powerX87(src[i]);
        spectr[i + 1] = qel::powerX87(src[i + 1]);
    }
    if (i < count) spectr[i] = qel::powerX87(src[i]);
}

QEL_EXPORT void qelcbMag(const SComplex* src, float* mag, int n) {
    const qel::platform::ExtendedPrecision precision;  // Windows x64: 64-bit x87 precision
    if (n < 1) return qelReportBadArgument("qelcbMag", "length<=0", kModule, line::qelcbMag);
    if (mag == nullptr) return qelReportBadArgument("qelcbMag", "mag==0", kModule, line::qelcbMag);
    if (src == nullptr) return qelReportBadArgument("qelcbMag", "src==0", kModule, line::qelcbMag);
    const std::size_t count = static_cast<std::size_t>(n);
    // The accelerated paths, with the caller's modes tested once.
    bool wide = false;
    if constexpr (qel::wide::kAvailable) wide = !qel::referencePaths() && qel::defaultFloatModes();
    if (n <= kMagBlock) return magnitudesDirect(src, mag, count, wide);
    // Longer vectors go block by block through a single-precision power
    // spectrum: a squared magnitude beyond the float range (|z| above about
    // 1.8e19) becomes +infinity there, unlike in the direct path.
    float block[kMagBlock];
    const std::size_t blocks = count / kMagBlock;
    // The streaming builds' powers and roots in one pass where the processor
    // has AVX2; the report of a block's negative power before the next.
    if constexpr (qel::variant::kFusedMagnitudeBlocks) {
        static_assert(qel::sse::wide::kMagnitudeBlock == kMagBlock);
        if (wide && qel::wide::avx2()) {
            for (std::size_t b = 0; b < blocks; ++b)
                if (qel::sse::wide::magnitudeBlock(src + b * kMagBlock, mag + b * kMagBlock))
                    qel::reportNegativeElement();
            return magnitudesDirect(src + blocks * kMagBlock, mag + blocks * kMagBlock, count % kMagBlock, wide);
        }
    }
    // The accelerated power spectrum without qelcbPowerSpectr's checks,
    // which a block passes.
    for (std::size_t b = 0; b < blocks; ++b) {
        if constexpr (qel::wide::kAvailable)
            if (wide) qel::wide::powerSpectrumInModes(src + b * kMagBlock, block, kMagBlock);
        if (!wide) qelcbPowerSpectr(src + b * kMagBlock, block, kMagBlock);
        qelsbSqrt2(block, mag + b * kMagBlock, kMagBlock);
    }
    magnitudesDirect(src + blocks * kMagBlock, mag + blocks * kMagBlock, count % kMagBlock, wide);
}

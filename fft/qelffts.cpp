// SPDX-License-Identifier: MIT
// qelffts: the FFT entry points qelcFft and qelsRealFftNip: their release
// and initialise requests, argument checks, the per-thread tables with one
// release-all and retry, the scratch buffer of the builds whose kernels take
// one, the orderings, the real-input split and the inverse scaling. Shared by
// every variant library.
#include <bit>
#include <cmath>
#include <cstdint>

#include "fft/driver.h"
#include "fft/tables.h"
#include "platform/platform.h"
#include "runtime/api.h"
#include "runtime/report_lines.h"
#include "runtime/status.h"
#include "variant.h"

namespace {

using namespace qel::fft;

namespace line = qel::line;

constexpr const char* kModule = "qelffts";

// Builds without a DIF kernel run every ordering through the DIT driver.
constexpr bool kHasDif = qel::variant::kFftHasDif;
// Elements of the scratch buffer the entries keep in slot 3 (0: none).
constexpr int kScratch = qel::variant::kFftScratchLength;

// Up to two attempts at the tables that `fetch` gets (true when all exist);
// tables of other orders may be holding the memory, so a failed attempt
// drops every table of the thread first. False after the second failure.
template <typename Fetch>
bool obtainTables(Fetch fetch) {
    for (int attempt = 1; attempt <= 2; ++attempt) {
        if (fetch()) return true;
        releaseAllFftTables();
    }
    return false;
}

// Multiplies `count` floats of the result by 2^-order, which is exact unless
// a value leaves the normal range.
void scaleInverse(float* values, std::int64_t count, int order) {
    // Built from its exponent field: the C runtime's ldexp uses conditional
    // moves, which the builds for older processors must not run.
    const float factor = std::bit_cast<float>(static_cast<std::uint32_t>(127 - order) << 23);
    // The count fits a 32-bit call for every order whose tables can exist;
    // a larger one is split all the same.
    std::int64_t remaining = count;
    constexpr std::int64_t kMaxCall = std::int64_t{1} << 30;
    while (remaining > 0) {
        const auto part = static_cast<int>(remaining < kMaxCall ? remaining : kMaxCall);
        qelsbMpy1(factor, values, part);
        values += part;
        remaining -= part;
    }
}

// The scratch buffer of slot 3, at least kScratch elements: the held one
// when it is large enough, else a new one; null when there is no memory.
// There is no release and retry for it.
bool haveScratch() {
    const QelContext* context = qelGetContext();
    if (context->workBufferSizes[kFftWorkBufferSlot] < static_cast<std::uint32_t>(kScratch))
        return getWorkBuffer(kScratch, kFftWorkBufferSlot) != nullptr;
    return context->workBuffers[kFftWorkBufferSlot] != nullptr;
}

}  // namespace

QEL_EXPORT void qelcFft(SComplex* samps, int order, int flags) {
    constexpr const char* kName = "qelcFft";
    const qel::platform::ExtendedPrecision precision;  // Windows x64: 64-bit x87 precision
    const bool inputReversed = (flags & QEL_FFT_INPUT_REVERSED) != 0;
    const bool outputReversed = (flags & QEL_FFT_OUTPUT_REVERSED) != 0;
    // The table choice looks at the flags before they are checked:
    // bit-reversed output alone means the DIF table where there is one.
    const bool difOutput = kHasDif && outputReversed && !inputReversed;
    if (flags & QEL_FFT_RELEASE) {
        if constexpr (kHasDif) {
            if (difOutput)
                releaseDifTwiddles(order);
            else
                releaseDitTwiddles(order);
        } else {
            releaseDitTwiddles(order);
        }
        releaseBitRevTable(order);
        releaseWorkBuffer(kFftWorkBufferSlot);
        return;
    }
    if (order < 0) return qelReportBadArgument(kName, "order<0", kModule, line::qelcFftTables);
    if (order > 31) return qelReportBadArgument(kName, "order>31", kModule, line::qelcFftTables);
    // The tables of a larger order cannot exist: no use building (or
    // freeing) any before saying so.
    if (order > kMaxFftOrder) {
        qelReportError(QEL_STATUS_OUT_OF_MEMORY, kName, "No working Twd memory", kModule,
                       line::qelcFftTables);
        return;
    }

    const SComplex* twiddles = nullptr;
    const std::int32_t* bitRev = nullptr;
    const bool haveTables = obtainTables([&] {
        if constexpr (kHasDif)
            twiddles = difOutput ? getDifTwiddles(order) : getDitTwiddles(order);
        else
            twiddles = getDitTwiddles(order);
        bitRev = twiddles != nullptr ? getBitRevTable(order) : nullptr;
        return bitRev != nullptr;
    });
    if (!haveTables || (kScratch > 0 && !haveScratch())) {
        qelReportError(QEL_STATUS_OUT_OF_MEMORY, kName, "No working Twd memory", kModule,
                       line::qelcFftTables);
        return;
    }
    if (flags & QEL_FFT_INIT_ONLY) return;

    if (samps == nullptr) return qelReportBadArgument(kName, "samps==0", kModule, line::qelcFftSamps);
    const bool forward = (flags & QEL_FFT_FORWARD) != 0;
    const bool inverse = (flags & QEL_FFT_INVERSE) != 0;
    if (forward && inverse)
        return qelReportBadArgument(kName, "(flags & 1) && (flags & 2)", kModule,
                                    line::qelcFftDirection);
    if (!forward && !inverse)
        return qelReportBadArgument(kName, "(flags & 1)==0 && (flags & 2)==0", kModule,
                                    line::qelcFftDirection);
    const bool natural = (flags & QEL_FFT_NATURAL_ORDER) != 0;
    if (inputReversed && outputReversed)
        return qelReportBadArgument(kName, "(flags & 64) && (flags & 128)", kModule,
                                    line::qelcFftOrdering);
    if (inputReversed && natural)
        return qelReportBadArgument(kName, "(flags & 64) && (flags & 32)", kModule,
                                    line::qelcFftOrdering);
    if (natural && outputReversed)
        return qelReportBadArgument(kName, "(flags & 32) && (flags & 128)", kModule,
                                    line::qelcFftOrdering);

    if (order == 0) return;  // the one-point transform is the identity
    const int n = 1 << order;
    const int direction = forward ? 1 : -1;
    if (inputReversed) {
        cFftDit(samps, n, direction, twiddles);
    } else if (outputReversed) {
        if constexpr (kHasDif) {
            cFftDif(samps, n, direction, twiddles);
        } else {
            // The natural-order result, permuted.
            qel::variant::bitRevPermute(samps, n, bitRev);
            cFftDit(samps, n, direction, twiddles);
            qel::variant::bitRevPermute(samps, n, bitRev);
        }
    } else {
        qel::variant::bitRevPermute(samps, n, bitRev);
        cFftDit(samps, n, direction, twiddles);
    }
    if (inverse && !(flags & QEL_FFT_NO_SCALE))
        scaleInverse(&samps[0].re, std::int64_t{2} << order, order);
}

QEL_EXPORT void qelsRealFftNip(const float* inSamps, SComplex* outSamps, int order, int flags) {
    constexpr const char* kName = "qelsRealFftNip";
    const qel::platform::ExtendedPrecision precision;  // Windows x64: 64-bit x87 precision
    if (flags & QEL_FFT_RELEASE) {
        // The half-length complex transform's tables go too; an order
        // outside 0..31 releases no table (not even through order - 1).
        if (order >= 0 && order <= 31) {
            releaseDitTwiddles(order - 1);
            releaseRealTwiddles(order);
            releaseBitRevTable(order - 1);
        }
        releaseWorkBuffer(kFftWorkBufferSlot);
        return;
    }
    if (order < 0) return qelReportBadArgument(kName, "order<0", kModule, line::qelsRealFftNipTables);
    if (order > 31) return qelReportBadArgument(kName, "order>31", kModule, line::qelsRealFftNipTables);
    if (order > kMaxFftOrder) {
        qelReportError(QEL_STATUS_OUT_OF_MEMORY, kName, "No working Twd memory", kModule,
                       line::qelsRealFftNipTables);
        return;
    }

    // The N = n/2 point complex transform of the input pairs, then the split.
    const SComplex* twiddles = nullptr;
    const SComplex* realTwiddles = nullptr;
    const std::int32_t* bitRev = nullptr;
    if (order >= 2) {
        const bool haveTables = obtainTables([&] {
            twiddles = getDitTwiddles(order - 1);
            realTwiddles = twiddles != nullptr ? getRealTwiddles(order) : nullptr;
            bitRev = realTwiddles != nullptr ? getBitRevTable(order - 1) : nullptr;
            return bitRev != nullptr;
        });
        if (!haveTables || (kScratch > 0 && !haveScratch())) {
            qelReportError(QEL_STATUS_OUT_OF_MEMORY, kName, "No working Twd memory", kModule,
                           line::qelsRealFftNipTables);
            return;
        }
    }
    if (flags & QEL_FFT_INIT_ONLY) return;

    if (inSamps == nullptr)
        return qelReportBadArgument(kName, "inSamps==0", kModule, line::qelsRealFftNipPointers);
    if (outSamps == nullptr)
        return qelReportBadArgument(kName, "outSamps==0", kModule, line::qelsRealFftNipPointers);
    const bool forward = (flags & QEL_FFT_FORWARD) != 0;
    const bool inverse = (flags & QEL_FFT_INVERSE) != 0;
    if (forward && inverse)
        return qelReportBadArgument(kName, "(flags & 1) && (flags & 2)", kModule,
                                    line::qelsRealFftNipDirection);
    if (!forward && !inverse)
        return qelReportBadArgument(kName, "(flags & 1)==0 && (flags & 2)==0", kModule,
                                    line::qelsRealFftNipDirection);

    if (order == 0) {
        outSamps[0] = {inSamps[0], 0.0f};
        return;
    }
    const int N = 1 << (order - 1);
    if (N == 1) {
        const long double x0 = inSamps[0];
        const long double x1 = inSamps[1];
        outSamps[0] = {static_cast<float>(x0 + x1), 0.0f};
        outSamps[1] = {static_cast<float>(x0 - x1), 0.0f};
    } else {
        const int direction = forward ? 1 : -1;
        // The real samples as N complex values x[2m] + i x[2m+1].
        qel::variant::bitRevCopyReal(reinterpret_cast<const SComplex*>(inSamps), outSamps, N,
                                     bitRev);
        cFftDit(outSamps, N, direction, twiddles);
        // X[0] and X[N] come from Z[0] alone: the sum and the difference of
        // the transforms of the even and the odd samples there.
        const long double r = outSamps[0].re;
        const long double s = outSamps[0].im;
        outSamps[0] = {static_cast<float>(r + s), 0.0f};
        const float e = static_cast<float>(r - s);
        qel::variant::realFftRecombine(outSamps, N, direction, realTwiddles);
        outSamps[N] = {e, 0.0f};
    }
    if (inverse && !(flags & QEL_FFT_NO_SCALE))
        scaleInverse(&outSamps[0].re, std::int64_t{2} * N + 2, order);
}

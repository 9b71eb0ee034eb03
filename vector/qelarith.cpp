// SPDX-License-Identifier: MIT
// qelarith: the five element-wise arithmetic exports and the conjugate
// extension. The checks are shared; the loops come from the build's family
// (variant.h).
#include <cstdint>
#include <cstring>

#include "runtime/api.h"
#include "runtime/status.h"
#include "variant.h"

namespace {
constexpr const char* kModule = "qelarith";
namespace line = qel::line;

// The constant handed on through an integer register: a 32-bit x87 build
// otherwise moves it through the x87 stack, an instruction set the SSE
// builds' constant loops do not otherwise use.
inline float asBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    asm("" : "+r"(bits));
    float out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}
}  // namespace

QEL_EXPORT void qelsbSet(float value, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbSet", "n<=0", kModule, line::qelsbSet);
    if (dst == nullptr) return qelReportBadArgument("qelsbSet", "dst==0", kModule, line::qelsbSet);
    // The bits travel untouched: no float load could quiet a signalling NaN.
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // Pins the bits to an integer register: a 32-bit x87 build otherwise
    // moves the argument through the x87 stack (fld/fstp), which quiets it.
    asm("" : "+r"(bits));
    qel::variant::setBits(bits, dst, n);
}

QEL_EXPORT void qelsbAdd1(float value, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbAdd1", "n<=0", kModule, line::qelsbAdd1);
    if (dst == nullptr) return qelReportBadArgument("qelsbAdd1", "dst==0", kModule, line::qelsbAdd1);
    qel::variant::addConst(asBits(value), dst, n);
}

QEL_EXPORT void qelsbAdd2(const float* src, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbAdd2", "n<=0", kModule, line::qelsbAdd2);
    if (src == nullptr) return qelReportBadArgument("qelsbAdd2", "src==0", kModule, line::qelsbAdd2);
    if (dst == nullptr) return qelReportBadArgument("qelsbAdd2", "dst==0", kModule, line::qelsbAdd2);
    qel::variant::addVec(src, dst, n);
}

QEL_EXPORT void qelsbMpy1(float value, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbMpy1", "n<=0", kModule, line::qelsbMpy1);
    if (dst == nullptr) return qelReportBadArgument("qelsbMpy1", "dst==0", kModule, line::qelsbMpy1);
    qel::variant::mpyConst(asBits(value), dst, n);
}

QEL_EXPORT void qelsbMpy2(const float* src, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbMpy2", "n<=0", kModule, line::qelsbMpy2);
    if (src == nullptr) return qelReportBadArgument("qelsbMpy2", "src==0", kModule, line::qelsbMpy2);
    if (dst == nullptr) return qelReportBadArgument("qelsbMpy2", "dst==0", kModule, line::qelsbMpy2);
    qel::variant::mpyVec(src, dst, n);
}

QEL_EXPORT void qelcbConjExtend1(SComplex* vec, int n) {
    if (n < 1) return qelReportBadArgument("qelcbConjExtend1", "n<=0", kModule, line::qelcbConjExtend1);
    if (vec == nullptr)
        return qelReportBadArgument("qelcbConjExtend1", "vec==0", kModule, line::qelcbConjExtend1);
    // One or two points are a whole spectrum of length 0 or 2 already.
    if (n <= 2) return;
    qel::variant::conjExtend(vec, n);
}

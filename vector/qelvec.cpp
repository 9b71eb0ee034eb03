// SPDX-License-Identifier: MIT
// qelvec: the extremes qelsMax and qelsMin and the internal square root
// qelsbSqrt2. The checks are shared; the loops come from the build's family
// (variant.h).
#include "runtime/api.h"
#include "runtime/status.h"
#include "variant.h"
#include "vector/internal.h"

namespace {
constexpr const char* kModule = "qelvec";
namespace line = qel::line;
}  // namespace

namespace qel {

void reportNegativeElement() {
    qelReportBadArgument("qelsbSqrt2", "Element of input vector is negative", kModule, line::qelsbSqrt2Negative);
}

}  // namespace qel

QEL_EXPORT float qelsMax(const float* vec, int len) {
    if (len < 1) {
        qelReportBadArgument("qelsMax", "len<=0", kModule, line::qelsMax);
        return 0.0f;
    }
    if (vec == nullptr) {
        qelReportBadArgument("qelsMax", "vec==0", kModule, line::qelsMax);
        return 0.0f;
    }
    return qel::variant::maxOf(vec, len);
}

QEL_EXPORT float qelsMin(const float* vec, int len) {
    if (len < 1) {
        qelReportBadArgument("qelsMin", "len<=0", kModule, line::qelsMin);
        return 0.0f;
    }
    if (vec == nullptr) {
        qelReportBadArgument("qelsMin", "vec==0", kModule, line::qelsMin);
        return 0.0f;
    }
    return qel::variant::minOf(vec, len);
}

void qelsbSqrt2(const float* src, float* dst, int n) {
    if (n < 1) return qelReportBadArgument("qelsbSqrt2", "len<=0", kModule, line::qelsbSqrt2);
    if (src == nullptr) return qelReportBadArgument("qelsbSqrt2", "src==0", kModule, line::qelsbSqrt2);
    if (dst == nullptr) return qelReportBadArgument("qelsbSqrt2", "dst==0", kModule, line::qelsbSqrt2);
    // Negative elements are skipped by the loop and reported once, after
    // every other element has its root.
    if (qel::variant::sqrtLoop(src, dst, n)) qel::reportNegativeElement();
}

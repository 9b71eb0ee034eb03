// SPDX-License-Identifier: MIT
// A stand-in variant DLL for the per-export instruction-set check, compiled
// with the first variant's flags: qelcbReal must stay integer code, and each
// ZV_EXPORT_PROBE_* plants an x87 instruction where qelcbReal reaches it
// through a call chain, a pointer table or a tail jump. The plain probe
// reaches x87 only through qelsbAdd1 (allowed) and the error path (the frame).
extern "C" {

__attribute__((noinline)) void zvProbeX87(float* dst, const float* src) {
    asm volatile("flds (%0)\n\tfstps (%1)" : : "r"(src), "r"(dst) : "memory");
}

__attribute__((noinline)) void zvProbeCopy(float* dst, const float* src) {
    *reinterpret_cast<int*>(dst) = *reinterpret_cast<const int*>(src);
}

volatile float zvProbeSink;

// The runtime frame: its x87 is not the export's.
__attribute__((noinline)) void qelReportError(int status, const char*, const char*,
                                              const char*, int) {
    zvProbeSink = static_cast<float>(status);
}

#if defined(ZV_EXPORT_PROBE_CALL)
__attribute__((noinline)) void zvProbeStep(float* dst, const float* src) { zvProbeX87(dst, src); }
#else
__attribute__((noinline)) void zvProbeStep(float* dst, const float* src) { zvProbeCopy(dst, src); }
#endif

using Move = void (*)(float*, const float*);
#if defined(ZV_EXPORT_PROBE_TABLE)
const Move zvProbeMoves[2] = {zvProbeCopy, zvProbeX87};
#else
const Move zvProbeMoves[2] = {zvProbeCopy, zvProbeCopy};
#endif
volatile int zvProbeChoice = 1;

__attribute__((noinline)) void zvProbeTail() {
#if defined(ZV_EXPORT_PROBE_TAIL)
    asm volatile("jmp _zvProbeX87");
#endif
}

void qelcbReal(const float* src, float* dst, int len) {
    if (len <= 0) {
        qelReportError(-5, "qelcbReal", "len<=0", "qelcvrts", 1);
        return;
    }
    zvProbeStep(dst, src);
    zvProbeMoves[zvProbeChoice](dst, src);
    zvProbeTail();
}

void qelsbAdd1(float val, float* vec, int len) {
    for (int i = 0; i < len; ++i) vec[i] += val;
}

}  // extern "C"

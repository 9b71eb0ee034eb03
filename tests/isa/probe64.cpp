// SPDX-License-Identifier: MIT
// Stand-in DLLs for the 64-bit instruction-set check: the plain one keeps to
// the baseline (SSE2 arithmetic in its export); each other one plants an AVX
// instruction in a function that is not gated (HIDDEN), in an export
// (EXPORTED), or in a function the check is told is gated (GATED, passes).
extern "C" {

__declspec(dllexport) float zvProbeSum(const float* v, int n) {
    float s = 0.0f;
    for (int i = 0; i < n; ++i) s += v[i];
    return s;
}

#if defined(ZV_PROBE64_HIDDEN) || defined(ZV_PROBE64_GATED)
#if defined(ZV_PROBE64_HIDDEN)
#define ZV_WIDE zvProbeWide
#else
#define ZV_WIDE zvProbeGatedWide
#endif
__attribute__((noinline)) void ZV_WIDE(float* p) {
    asm volatile("vmovups (%0), %%ymm0\n\tvaddps %%ymm0, %%ymm0, %%ymm0\n\tvmovups %%ymm0, (%0)\n\tvzeroupper"
                 : : "r"(p) : "xmm0", "memory");
}
__declspec(dllexport) void zvProbeDouble(float* p) { ZV_WIDE(p); }
#endif

#if defined(ZV_PROBE64_EXPORTED)
__declspec(dllexport) void zvProbeDouble(float* p) {
    asm volatile("vmovups (%0), %%ymm0\n\tvaddps %%ymm0, %%ymm0, %%ymm0\n\tvmovups %%ymm0, (%0)\n\tvzeroupper"
                 : : "r"(p) : "xmm0", "memory");
}
#endif
}

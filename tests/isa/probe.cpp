// SPDX-License-Identifier: MIT
// Probes for the instruction-set checker, compiled with the first variant's
// flags: ZV_PROBE_PLAIN is ordinary float code the check must pass; each
// other probe plants one instruction that the generic build must not use.
extern "C" {

float zvPlainProbe(float a, float b, int n) {
    long double sum = 0;
    for (int i = 0; i < n; ++i) sum += static_cast<long double>(a) * b + i;
    return static_cast<float>(sum);
}

#if defined(ZV_PROBE_X87_IN_INTEGER)
// An x87 move where only integer moves are allowed.
void zvIntegerProbe(float* dst, const float* src) {
    asm volatile("flds (%0)\n\tfstps (%1)" : : "r"(src), "r"(dst) : "memory");
}
#else
void zvIntegerProbe(int* dst, const int* src) { *dst = *src; }
#endif

void zvPlantedProbe() {
#if defined(ZV_PROBE_CMOV)
    asm volatile("cmovne %%edx, %%eax" : : : "eax");
#elif defined(ZV_PROBE_LONG_NOP)
    asm volatile("nopl (%%eax)" : : : "memory");
#elif defined(ZV_PROBE_MMX)
    asm volatile("paddb %%mm1, %%mm0\n\temms" : : : "memory");
#elif defined(ZV_PROBE_SSE)
    asm volatile("addps %%xmm1, %%xmm0" : : : "memory");
#elif defined(ZV_PROBE_SSE2)
    asm volatile("addpd %%xmm1, %%xmm0" : : : "memory");
#elif defined(ZV_PROBE_SSE2_LOAD)
    asm volatile("movsd (%%eax), %%xmm0" : : : "memory");
#elif defined(ZV_PROBE_I486)
    asm volatile("bswap %%eax" : : : "eax");
#endif
}

}  // extern "C"

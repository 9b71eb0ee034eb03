// SPDX-License-Identifier: MIT
// Micro-benchmarks of the real-FFT pieces of the streaming-SIMD builds: the
// four-pair recombination (SSE2 and SSE forms) against the generic extended-precision
// one, and the MMX bit-reversed copy against the generic word moves, per
// real order. Run by hand: build/default/bin/zv_bench_real.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fft/tables.h"
#include "kernels/generic/fft.h"
#include "kernels/simd/bitrev_mmx.h"
#include "kernels/simd/real_recombine.h"

namespace {

using Recombine = void (*)(SComplex*, int, int, const SComplex*);

// Spectra of the half length in a qelMalloc block (the entry's output).
struct Spectrum {
    explicit Spectrum(int order) : N(1 << (order - 1)), data(static_cast<SComplex*>(qelMalloc(8 * (N + 1)))) {
        std::mt19937 rng(order);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (int k = 0; k <= N; ++k) data[k] = {value(rng), value(rng)};
    }
    ~Spectrum() { qelFree(data); }
    int N;
    SComplex* data;
};

SComplex* pairedTable(int order) {
    auto* table = static_cast<SComplex*>(qelMalloc((order <= 3 ? 2 : 1 << (order - 2)) * 8));
    float* s = qel::fft::makeQuarterSine(order);
    qel::simd::fillRealTwiddles(table, s, order);
    qelFree(s);
    return table;
}

// The recombination alone; forward and inverse alternate so that the data
// stay bounded.
void recombine(benchmark::State& state, Recombine fn, bool paired) {
    const int order = static_cast<int>(state.range(0));
    Spectrum z(order);
    SComplex* own = paired ? pairedTable(order) : nullptr;
    const SComplex* table = paired ? own : qel::fft::getRealTwiddles(order);
    int direction = 1;
    for (auto _ : state) {
        fn(z.data, z.N, direction, table);
        direction = -direction;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * z.N);
    qelFree(own);
}

void BM_RecombineS2(benchmark::State& s) { recombine(s, qel::sse2::realFftRecombine, true); }
void BM_RecombineS1(benchmark::State& s) { recombine(s, qel::sse::realFftRecombine, true); }
void BM_RecombineGeneric(benchmark::State& s) { recombine(s, qel::generic::realFftRecombine, false); }

using CopyReal = void (*)(const SComplex*, SComplex*, int, const std::int32_t*);

// The bit-reversed copy of the real input, source at `offset` bytes.
void copyReal(benchmark::State& state, CopyReal fn, int offset) {
    const int order = static_cast<int>(state.range(0));
    Spectrum src(order + 1), dst(order);
    const auto* from = reinterpret_cast<const SComplex*>(reinterpret_cast<const char*>(src.data) + offset);
    const std::int32_t* table = qel::fft::getBitRevTable(order - 1);
    for (auto _ : state) {
        fn(from, dst.data, dst.N, table);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * dst.N);
}

void BM_CopyRealMmx(benchmark::State& s) { copyReal(s, qel::mmx::bitRevCopyReal, 0); }
void BM_CopyRealX87(benchmark::State& s) { copyReal(s, qel::mmx::bitRevCopyReal, 4); }
void BM_CopyRealGeneric(benchmark::State& s) { copyReal(s, qel::generic::bitRevCopyReal, 0); }

}  // namespace

BENCHMARK(BM_RecombineS2)->DenseRange(4, 20, 2);
BENCHMARK(BM_RecombineS1)->DenseRange(4, 20, 2);
BENCHMARK(BM_RecombineGeneric)->DenseRange(4, 20, 2);
BENCHMARK(BM_CopyRealMmx)->DenseRange(4, 20, 2);
BENCHMARK(BM_CopyRealX87)->DenseRange(4, 20, 2);
BENCHMARK(BM_CopyRealGeneric)->DenseRange(4, 20, 2);

BENCHMARK_MAIN();

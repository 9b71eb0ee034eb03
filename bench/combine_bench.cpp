// SPDX-License-Identifier: MIT
// Micro-benchmark of one radix-2 combining stage (the last of a transform
// of 2^11 to 2^19 points, half-span n/2, the generic build's core): the x87
// loop against the doubles with the AVX2 and, where the processor has them,
// the AVX-512 kernels, in nanoseconds per butterfly, on the input the stage
// sees when the signal is random, constant, an impulse, random in its first
// eighth and zero after, or random with one NaN (which a transform spreads
// to every value). Counter fallback: the share of butterfly
// pairs the doubles left to the x87 loop. Each iteration restores the input
// outside the timed part; the fastest iteration is kept
// (min_ns_per_butterfly), since on a shared machine interference only ever
// adds (ns_per_butterfly: the mean). Pin it:
//   taskset -c 1 ./build/default/bin/zv_bench_combine --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fft/combine_doubles.h"
#include "fft/driver.h"
#include "fft/tables.h"
#include "zentavol.h"

namespace {

using qel::fft::CombineCounts;
using qel::fft::CombinePath;
using qel::fft::DoubleKernels;
using qel::fft::useDoubleKernels;

enum Signal { kRandom, kConstant, kImpulse, kZeroPadded, kNaN };

// The signal, and the last DIT stage's input: the transforms of the even
// and of the odd samples side by side (the first DIF stage takes the signal
// as it is).
std::vector<SComplex> signalOf(int order, Signal signal) {
    const std::size_t n = std::size_t{1} << order;
    std::vector<SComplex> x(n, SComplex{0.0f, 0.0f});
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (std::size_t i = 0; i < n; ++i) {
        switch (signal) {
            case kRandom: x[i] = {value(rng), value(rng)}; break;
            case kConstant: x[i] = {1.0f, 0.0f}; break;
            case kImpulse: x[i] = {i == 0 ? 1.0f : 0.0f, 0.0f}; break;
            case kZeroPadded: x[i] = i < n / 8 ? SComplex{value(rng), value(rng)} : SComplex{0.0f, 0.0f}; break;
            case kNaN: x[i] = {value(rng), i == n / 3 ? std::nanf("") : value(rng)}; break;
        }
    }
    return x;
}

std::vector<SComplex> stageInput(int order, Signal signal) {
    const std::size_t n = std::size_t{1} << order;
    const std::vector<SComplex> x = signalOf(order, signal);
    std::vector<SComplex> halves(n);
    for (std::size_t i = 0; i < n / 2; ++i) {
        halves[i] = x[2 * i];
        halves[n / 2 + i] = x[2 * i + 1];
    }
    qelcFft(halves.data(), order - 1, QEL_FFT_FORWARD);
    qelcFft(halves.data() + n / 2, order - 1, QEL_FFT_FORWARD);
    return halves;
}

void stage(benchmark::State& state, CombinePath path, DoubleKernels kernels, Signal signal) {
    useDoubleKernels(kernels);
    const int order = static_cast<int>(state.range(0));
    const int n = 1 << order;
    const SComplex* table = qel::fft::getBigTwiddles(order);
    const std::vector<SComplex> input = stageInput(order, signal);
    std::vector<SComplex> data(input.size());
    // Timed without counting, as the library calls it; counted once after.
    const auto run = [&](SComplex* x, CombineCounts* counts) {
        qel::fft::cFftDitCombineOn(path, x, n, n / 2, table, n, 1, 256, counts);
    };
    double best = 1e30;
    double total = 0;
    for (auto _ : state) {
        std::memcpy(data.data(), input.data(), input.size() * sizeof(SComplex));
        const auto start = std::chrono::steady_clock::now();
        run(data.data(), nullptr);
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(data.data());
        const double seconds = std::chrono::duration<double>(stop - start).count();
        best = std::min(best, seconds);
        total += seconds;
        state.SetIterationTime(seconds);
    }
    const double butterflies = n / 2.0;
    state.counters["ns_per_butterfly"] = total * 1e9 / (static_cast<double>(state.iterations()) * butterflies);
    state.counters["min_ns_per_butterfly"] = best * 1e9 / butterflies;
    CombineCounts counts;
    std::memcpy(data.data(), input.data(), input.size() * sizeof(SComplex));
    run(data.data(), &counts);
    if (path != CombinePath::x87)
        state.counters["fallback"] =
            counts.pairs > 0 ? static_cast<double>(counts.fallbacks) / static_cast<double>(counts.pairs) : 0.0;
}

void registerAll() {
    const struct {
        const char* name;
        Signal signal;
    } signals[] = {{"random", kRandom},         {"constant", kConstant}, {"impulse", kImpulse},
                   {"zeropadded", kZeroPadded}, {"nan", kNaN}};
    for (const auto& s : signals) {
        const struct {
            const char* name;
            CombinePath path;
            DoubleKernels kernels;
        } paths[] = {{"x87", CombinePath::x87, DoubleKernels::sse2},
                     {"doubles-avx2", CombinePath::doubles, DoubleKernels::avx2},
                     {"doubles-avx512", CombinePath::doubles, DoubleKernels::avx512}};
        for (const auto& p : paths) {
            if (p.path == CombinePath::doubles && useDoubleKernels(p.kernels) != p.kernels) continue;
            const std::string name = std::string("combine/") + s.name + "/" + p.name;
            benchmark::RegisterBenchmark(name.c_str(), [p, signal = s.signal](benchmark::State& st) {
                stage(st, p.path, p.kernels, signal);
            })->DenseRange(11, 19, 2)->UseManualTime()->MinTime(0.05);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

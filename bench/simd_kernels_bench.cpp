// SPDX-License-Identifier: MIT
// Micro-benchmark of the SIMD block kernels (SSE2 and SSE forms, linked from
// their sources) against FFTW's measured plan and KissFFT, in one run:
// in-place forward complex transforms of 2^6 to 2^14 points, the kernel
// alone and after the builds' MMX bit-reversal permutation with the
// library's table (what the entry runs), and the permutation alone from
// 2^6 to 2^20 points. Each benchmark also times every call on its own and
// keeps the fastest (counter min_ns, less the cost of reading the clock):
// on a shared machine interference only ever adds, so the minimum holds
// still where the mean does not. The tables at the end use those minima.
// Pin it:
//   taskset -c 1 ./build/default/bin/zv_bench_simd_kernels
//       --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <fftw3.h>
#include <kiss_fft.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fft/tables.h"
#include "kernels/simd/bitrev_mmx.h"
#include "kernels/simd/dit_block.h"

namespace {

constexpr int kMinOrder = 6;
constexpr int kMaxOrder = 14;
constexpr int kMaxPermuteOrder = 20;

struct Aligned {
    explicit Aligned(std::size_t bytes) : p(std::aligned_alloc(64, (bytes + 63) / 64 * 64)) {
        std::memset(p, 0, (bytes + 63) / 64 * 64);
    }
    ~Aligned() { std::free(p); }
    Aligned(const Aligned&) = delete;
    Aligned& operator=(const Aligned&) = delete;
    template <typename T>
    T* as() const {
        return static_cast<T*>(p);
    }
    void* p;
};

void fillRandom(float* f, std::size_t count) {
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        f[i] = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
    }
}

// The stage-vector table of an order, from a quarter sine table computed
// the way the library does.
std::vector<SComplex> makeTable(int order) {
    const int n = 1 << order;
    const int q = n / 4;
    const double step = 6.283185307179586 / n;
    std::vector<float> s(static_cast<std::size_t>(q) + 1);
    for (int k = 0; k <= q; ++k)
        s[static_cast<std::size_t>(k)] =
            k <= n / 8 ? static_cast<float>(std::sin(static_cast<long double>(k) * step))
                       : static_cast<float>(std::cos(static_cast<long double>(q - k) * step));
    std::vector<SComplex> table(static_cast<std::size_t>(n) + 8);
    qel::simd::fillDitTwiddles(table.data(), s.data(), order);
    return table;
}

using Kernel = void (*)(SComplex*, int, const SComplex*, SComplex*);

double nowNs() {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The least time between two readings of the clock.
double clockCost() {
    static const double cost = [] {
        double best = 1e9;
        for (int i = 0; i < 10000; ++i) {
            const double t0 = nowNs();
            best = std::min(best, nowNs() - t0);
        }
        return best;
    }();
    return cost;
}

// Runs call() once per iteration, timing each call; records the fastest.
template <typename Call>
void timeCalls(benchmark::State& state, Call call) {
    double best = 1e30;
    for (auto _ : state) {
        const double t0 = nowNs();
        call();
        benchmark::ClobberMemory();
        best = std::min(best, nowNs() - t0);
    }
    state.counters["min_ns"] = best - clockCost();
}

void ours(benchmark::State& state, Kernel kernel, int order, bool withPermutation) {
    const int n = 1 << order;
    Aligned data(8 * static_cast<std::size_t>(n));
    fillRandom(data.as<float>(), 2 * static_cast<std::size_t>(n));
    const std::vector<SComplex> table = makeTable(order);
    const std::int32_t* bitRev = qel::fft::getBitRevTable(order);
    SComplex* x = data.as<SComplex>();
    timeCalls(state, [&] {
        if (withPermutation) qel::mmx::bitRevPermute(x, n, bitRev);
        kernel(x, n, table.data(), nullptr);
    });
}

// The MMX permutation alone, data at a multiple of 64 bytes.
void permutation(benchmark::State& state, int order) {
    const int n = 1 << order;
    Aligned data(8 * static_cast<std::size_t>(n));
    fillRandom(data.as<float>(), 2 * static_cast<std::size_t>(n));
    const std::int32_t* bitRev = qel::fft::getBitRevTable(order);
    timeCalls(state, [&] { qel::mmx::bitRevPermute(data.as<SComplex>(), n, bitRev); });
}

void fftw(benchmark::State& state, int order) {
    const int n = 1 << order;
    Aligned data(8 * static_cast<std::size_t>(n));
    auto* c = data.as<fftwf_complex>();
    fftwf_plan plan = fftwf_plan_dft_1d(n, c, c, FFTW_FORWARD, FFTW_MEASURE);
    fillRandom(data.as<float>(), 2 * static_cast<std::size_t>(n));
    timeCalls(state, [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);
}

void kiss(benchmark::State& state, int order) {
    const int n = 1 << order;
    Aligned in(8 * static_cast<std::size_t>(n));
    Aligned out(8 * static_cast<std::size_t>(n));
    fillRandom(in.as<float>(), 2 * static_cast<std::size_t>(n));
    kiss_fft_cfg config = kiss_fft_alloc(n, 0, nullptr, nullptr);
    timeCalls(state, [&] { kiss_fft(config, in.as<kiss_fft_cpx>(), out.as<kiss_fft_cpx>()); });
    kiss_fft_free(config);
}

const char* const kColumns[] = {"fftw", "kiss", "sse2", "sse2+perm", "sse", "sse+perm"};

// Nanoseconds of the fastest call by "column/order", over all repetitions.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.counters.count("min_ns")) {
                const double ns = run.counters.at("min_ns");
                auto [it, fresh] = times.emplace(run.benchmark_name(), ns);
                if (!fresh && ns < it->second) it->second = ns;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int order = kMinOrder; order <= kMaxPermuteOrder; ++order) {
        const std::string o = std::to_string(order);
        benchmark::RegisterBenchmark(("fftw/" + o).c_str(), fftw, order);
        benchmark::RegisterBenchmark(("perm/" + o).c_str(), permutation, order);
        if (order > kMaxOrder) continue;
        benchmark::RegisterBenchmark(("kiss/" + o).c_str(), kiss, order);
        benchmark::RegisterBenchmark(("sse2/" + o).c_str(), ours, qel::sse2::cFftDitBlockFwd, order, false);
        benchmark::RegisterBenchmark(("sse2+perm/" + o).c_str(), ours, qel::sse2::cFftDitBlockFwd, order, true);
        if ((1 << order) <= qel::sse::kDitBlockLimit) {
            benchmark::RegisterBenchmark(("sse/" + o).c_str(), ours, qel::sse::cFftDitBlockFwd, order, false);
            benchmark::RegisterBenchmark(("sse+perm/" + o).c_str(), ours, qel::sse::cFftDitBlockFwd, order, true);
        }
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    auto t = [&](const char* column, int order) {
        auto it = collector.times.find(std::string(column) + "/" + std::to_string(order));
        return it == collector.times.end() ? NAN : it->second;
    };
    std::printf("\norder |");
    for (const char* c : kColumns) std::printf(" %9s ns |", c);
    std::printf(" sse2/fftw | sse2+perm/fftw | sse2+perm/kiss | sse/sse2 | sse+perm/sse2+perm\n");
    for (int order = kMinOrder; order <= kMaxOrder; ++order) {
        std::printf("%5d |", order);
        for (const char* c : kColumns) std::printf(" %12.0f |", t(c, order));
        std::printf(" %9.2f | %14.2f | %14.2f | %8.2f | %18.2f\n", t("sse2", order) / t("fftw", order),
                    t("sse2+perm", order) / t("fftw", order), t("sse2+perm", order) / t("kiss", order),
                    t("sse", order) / t("sse2", order), t("sse+perm", order) / t("sse2+perm", order));
    }
    std::printf("\norder |   fftw ns |   perm ns | perm ns/value | perm/fftw\n");
    for (int order = kMinOrder; order <= kMaxPermuteOrder; ++order)
        std::printf("%5d | %9.0f | %9.0f | %13.3f | %9.2f\n", order, t("fftw", order), t("perm", order),
                    t("perm", order) / (1 << order), t("perm", order) / t("fftw", order));
    benchmark::Shutdown();
    return 0;
}

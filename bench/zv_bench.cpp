// SPDX-License-Identifier: MIT
// Benchmarks of every variant library, loaded by path, against FFTW
// (single precision, measured plans), KissFFT and VOLK where they have the
// operation, with memcpy of the operation's largest vector as the bandwidth
// reference. One run prints a table per operation: times, and each variant's
// ratio to the best peer and to memcpy.
#include <benchmark/benchmark.h>

#include <fftw3.h>
#include <kiss_fft.h>
#include <kiss_fftr.h>
#include <volk/volk.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/variant_loader.h"
#include "zentavol.h"

namespace {

// Zeroed, 64-byte aligned storage; every library gets the same alignment.
class Buffer {
public:
    explicit Buffer(std::size_t bytes) : bytes_(bytes), data_(std::aligned_alloc(64, roundUp(bytes))) {
        if (data_ == nullptr) {
            std::fprintf(stderr, "zv_bench: out of memory (%zu bytes)\n", bytes);
            std::exit(2);
        }
        std::memset(data_, 0, roundUp(bytes));
    }
    ~Buffer() { std::free(data_); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    template <typename T>
    T* as() const {
        return static_cast<T*>(data_);
    }
    std::size_t bytes() const { return bytes_; }
    // Uniform values in [lo, hi], the same for every target.
    void fillRandom(float lo, float hi) const {
        std::mt19937 random(12345);
        std::uniform_real_distribution<float> uniform(lo, hi);
        float* f = as<float>();
        for (std::size_t i = 0; i < bytes_ / sizeof(float); ++i) f[i] = uniform(random);
    }

private:
    static std::size_t roundUp(std::size_t bytes) { return (bytes + 63) / 64 * 64; }
    std::size_t bytes_;
    void* data_;
};

enum class Role { kVariant, kPeer, kReference };

struct Column {
    std::string name;
    Role role;
};

// What each registered benchmark is, for the tables.
struct Entry {
    std::string operation;
    std::string size;  // row label
    long sortKey;
    std::string target;
};
std::map<std::string, Entry> gEntries;
std::vector<Column> gColumns;            // in table order
std::vector<std::string> gOperations;    // in table order

void addColumn(const std::string& name, Role role) {
    for (const Column& c : gColumns)
        if (c.name == name) return;
    gColumns.push_back({name, role});
}

// manualTime: the body reports each iteration's time itself.
void add(const std::string& operation, const std::string& size, long sortKey, const std::string& target, Role role,
         std::function<void(benchmark::State&)> body, bool manualTime = false) {
    if (std::find(gOperations.begin(), gOperations.end(), operation) == gOperations.end())
        gOperations.push_back(operation);
    addColumn(target, role);
    const std::string name = operation + "/" + size + "/" + target;
    gEntries[name] = {operation, size, sortKey, target};
    auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); });
    if (manualTime)
        benchmark->UseManualTime();
    else
        benchmark->UseRealTime();
}

void copyBody(benchmark::State& state, std::size_t bytes) {
    Buffer from(bytes), to(bytes);
    from.fillRandom(-1.0f, 1.0f);
    for (auto _ : state) {
        std::memcpy(to.as<void>(), from.as<void>(), bytes);
        benchmark::ClobberMemory();
    }
}

// ---- FFTs -----------------------------------------------------------------
// Each transform is timed on noise and on zeros. Repeating an in-place
// transform multiplies ordinary data by up to n each time until it
// overflows, so the in-place complex transforms of noise restore their data
// outside the timed region (onNoise); on zeros they simply repeat. The real
// transforms read an input they do not change.

// The time of `transform` on a fresh copy of `bytes` of noise: before each
// timed batch the copies are restored, untimed. A batch transforms copies
// side by side, up to 16 KiB of them, so that a clock reading costs little
// against the small transforms; each copy starts on a 64-byte boundary.
template <typename Transform>
void onNoise(benchmark::State& state, std::size_t bytes, Transform transform) {
    const std::size_t stride = (bytes + 63) / 64 * 64;
    const std::size_t copies = std::max<std::size_t>(1, 16384 / stride);
    Buffer noise(bytes), work(stride * copies);
    noise.fillRandom(-1.0f, 1.0f);
    for (auto _ : state) {
        for (std::size_t c = 0; c < copies; ++c)
            std::memcpy(work.as<char>() + c * stride, noise.as<void>(), bytes);
        benchmark::ClobberMemory();
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t c = 0; c < copies; ++c) transform(work.as<char>() + c * stride);
        benchmark::ClobberMemory();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count() / static_cast<double>(copies));
    }
}

void registerFfts(const std::vector<const zv::test::LibraryApi*>& variants, int lowOrder, int highOrder) {
    for (int order = lowOrder; order <= highOrder; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const std::string size = "order:" + std::to_string(order);
        for (const auto* api : variants) {
            add("cfft", size, order, api->name, Role::kVariant, [api, order, n](benchmark::State& state) {
                Buffer data(n * sizeof(SComplex));
                api->qelcFft(nullptr, order, QEL_FFT_INIT_ONLY);  // tables are setup, not timed
                for (auto _ : state) {
                    api->qelcFft(data.as<SComplex>(), order, QEL_FFT_FORWARD);
                    benchmark::ClobberMemory();
                }
                api->qelcFft(nullptr, order, QEL_FFT_RELEASE);
            });
            add(
                "cfft-noise", size, order, api->name, Role::kVariant,
                [api, order, n](benchmark::State& state) {
                    api->qelcFft(nullptr, order, QEL_FFT_INIT_ONLY);
                    onNoise(state, n * sizeof(SComplex),
                            [&](void* data) { api->qelcFft(static_cast<SComplex*>(data), order, QEL_FFT_FORWARD); });
                    api->qelcFft(nullptr, order, QEL_FFT_RELEASE);
                },
                true);
            for (const bool noise : {true, false}) {
                add(noise ? "rfft" : "rfft-zeros", size, order, api->name, Role::kVariant,
                    [api, order, n, noise](benchmark::State& state) {
                        Buffer in(n * sizeof(float)), out((n / 2 + 1) * sizeof(SComplex));
                        if (noise) in.fillRandom(-1.0f, 1.0f);
                        api->qelsRealFftNip(nullptr, nullptr, order, QEL_FFT_INIT_ONLY);
                        for (auto _ : state) {
                            api->qelsRealFftNip(in.as<float>(), out.as<SComplex>(), order, QEL_FFT_FORWARD);
                            benchmark::ClobberMemory();
                        }
                        api->qelsRealFftNip(nullptr, nullptr, order, QEL_FFT_RELEASE);
                    });
            }
        }
        add("cfft", size, order, "fftwf-measure", Role::kPeer, [n](benchmark::State& state) {
            Buffer data(n * sizeof(fftwf_complex));
            auto* c = data.as<fftwf_complex>();
            fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(n), c, c, FFTW_FORWARD, FFTW_MEASURE);
            std::memset(c, 0, data.bytes());  // measuring scribbled on it
            for (auto _ : state) {
                fftwf_execute(plan);
                benchmark::ClobberMemory();
            }
            fftwf_destroy_plan(plan);
        });
        add(
            "cfft-noise", size, order, "fftwf-measure", Role::kPeer,
            [n](benchmark::State& state) {
                Buffer planned(n * sizeof(fftwf_complex));
                auto* c = planned.as<fftwf_complex>();
                fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(n), c, c, FFTW_FORWARD, FFTW_MEASURE);
                // Every copy is 64-byte aligned, as the planned array is.
                onNoise(state, n * sizeof(fftwf_complex), [&](void* data) {
                    auto* d = static_cast<fftwf_complex*>(data);
                    fftwf_execute_dft(plan, d, d);
                });
                fftwf_destroy_plan(plan);
            },
            true);
        for (const bool noise : {true, false}) {
            add(noise ? "rfft" : "rfft-zeros", size, order, "fftwf-measure", Role::kPeer, [n, noise](benchmark::State& state) {
                Buffer in(n * sizeof(float)), out((n / 2 + 1) * sizeof(fftwf_complex));
                fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), in.as<float>(), out.as<fftwf_complex>(),
                                                        FFTW_MEASURE);
                if (noise)
                    in.fillRandom(-1.0f, 1.0f);
                else
                    std::memset(in.as<void>(), 0, in.bytes());  // measuring scribbled on it
                for (auto _ : state) {
                    fftwf_execute(plan);
                    benchmark::ClobberMemory();
                }
                fftwf_destroy_plan(plan);
            });
        }
        // KissFFT copies through a temporary when input and output are the
        // same, so it gets its natural out-of-place form.
        add("cfft", size, order, "kissfft", Role::kPeer, [n](benchmark::State& state) {
            Buffer in(n * sizeof(kiss_fft_cpx)), out(n * sizeof(kiss_fft_cpx));
            kiss_fft_cfg config = kiss_fft_alloc(static_cast<int>(n), 0, nullptr, nullptr);
            for (auto _ : state) {
                kiss_fft(config, in.as<kiss_fft_cpx>(), out.as<kiss_fft_cpx>());
                benchmark::ClobberMemory();
            }
            kiss_fft_free(config);
        });
        add("rfft", size, order, "kissfft", Role::kPeer, [n](benchmark::State& state) {
            Buffer in(n * sizeof(float)), out((n / 2 + 1) * sizeof(kiss_fft_cpx));
            in.fillRandom(-1.0f, 1.0f);
            kiss_fftr_cfg config = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
            for (auto _ : state) {
                kiss_fftr(config, in.as<float>(), out.as<kiss_fft_cpx>());
                benchmark::ClobberMemory();
            }
            kiss_fftr_free(config);
        });
        for (const char* operation : {"cfft", "cfft-noise"})
            add(operation, size, order, "memcpy", Role::kReference,
                [n](benchmark::State& state) { copyBody(state, n * sizeof(SComplex)); });
        for (const char* operation : {"rfft", "rfft-zeros"})
            add(operation, size, order, "memcpy", Role::kReference,
                [n](benchmark::State& state) { copyBody(state, (n / 2 + 1) * sizeof(SComplex)); });
    }
}

// ---- vector functions --------------------------------------------------------
// Operands that leave the data as they are (add 0, multiply by 1), so that
// repeated calls keep ordinary values; the arithmetic costs the same.

struct VectorCase {
    const char* operation;
    std::size_t bytesPerElement;  // of the largest vector it touches, for memcpy
    std::function<void(const zv::test::LibraryApi*, benchmark::State&, int)> variant;
    std::function<void(benchmark::State&, int)> volk;  // empty: VOLK has no such operation
};

template <typename Body>
void timed(benchmark::State& state, Body body) {
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
}

std::vector<VectorCase> vectorCases() {
    using Api = const zv::test::LibraryApi*;
    using State = benchmark::State;
    auto floats = [](int n) {
        auto b = std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(float));
        b->fillRandom(-1.0f, 1.0f);
        return b;
    };
    auto complexes = [](int n) {
        auto b = std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(SComplex));
        b->fillRandom(-1.0f, 1.0f);
        return b;
    };
    // values within the 16-bit range, so no element needs the slow path
    auto scaled = [](int n, float factor) {
        auto b = std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(float));
        b->fillRandom(-factor, factor);
        return b;
    };
    auto zeros = [](int n) { return std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(float)); };
    auto ones = [](int n) {
        auto b = std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(float));
        std::fill_n(b->as<float>(), n, 1.0f);
        return b;
    };
    auto shorts = [](int n) {
        auto b = std::make_unique<Buffer>(static_cast<std::size_t>(n) * sizeof(std::int16_t));
        for (int i = 0; i < n; ++i) b->as<std::int16_t>()[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
        return b;
    };
    return {
        {"set", 4, [=](Api api, State& s, int n) { auto d = floats(n); timed(s, [&] { api->qelsbSet(0.5f, d->as<float>(), n); }); }, {}},
        {"add1", 4, [=](Api api, State& s, int n) { auto d = floats(n); timed(s, [&] { api->qelsbAdd1(0.0f, d->as<float>(), n); }); },
         [=](State& s, int n) { auto d = floats(n); timed(s, [&] { volk_32f_s32f_add_32f(d->as<float>(), d->as<float>(), 0.0f, n); }); }},
        {"add2", 4, [=](Api api, State& s, int n) { auto d = floats(n); auto z = zeros(n); timed(s, [&] { api->qelsbAdd2(z->as<float>(), d->as<float>(), n); }); },
         [=](State& s, int n) { auto d = floats(n); auto z = zeros(n); timed(s, [&] { volk_32f_x2_add_32f(d->as<float>(), d->as<float>(), z->as<float>(), n); }); }},
        {"mpy1", 4, [=](Api api, State& s, int n) { auto d = floats(n); timed(s, [&] { api->qelsbMpy1(1.0f, d->as<float>(), n); }); },
         [=](State& s, int n) { auto d = floats(n); timed(s, [&] { volk_32f_s32f_multiply_32f(d->as<float>(), d->as<float>(), 1.0f, n); }); }},
        {"mpy2", 4, [=](Api api, State& s, int n) { auto d = floats(n); auto o = ones(n); timed(s, [&] { api->qelsbMpy2(o->as<float>(), d->as<float>(), n); }); },
         [=](State& s, int n) { auto d = floats(n); auto o = ones(n); timed(s, [&] { volk_32f_x2_multiply_32f(d->as<float>(), d->as<float>(), o->as<float>(), n); }); }},
        // n points given, 2n-2 in the buffer
        {"conjExtend1", 8, [=](Api api, State& s, int n) { auto d = complexes(2 * n); timed(s, [&] { api->qelcbConjExtend1(d->as<SComplex>(), n); }); }, {}},
        {"real", 8, [=](Api api, State& s, int n) { auto c = complexes(n); auto d = zeros(n); timed(s, [&] { api->qelcbReal(c->as<SComplex>(), d->as<float>(), n); }); },
         [=](State& s, int n) { auto c = complexes(n); auto d = zeros(n); timed(s, [&] { volk_32fc_deinterleave_real_32f(d->as<float>(), c->as<lv_32fc_t>(), n); }); }},
        {"mag", 8, [=](Api api, State& s, int n) { auto c = complexes(n); auto d = zeros(n); timed(s, [&] { api->qelcbMag(c->as<SComplex>(), d->as<float>(), n); }); },
         [=](State& s, int n) { auto c = complexes(n); auto d = zeros(n); timed(s, [&] { volk_32fc_magnitude_32f(d->as<float>(), c->as<lv_32fc_t>(), n); }); }},
        // VOLK's extremes return the index, not the value; the scan is the same
        {"max", 4, [=](Api api, State& s, int n) { auto d = floats(n); timed(s, [&] { benchmark::DoNotOptimize(api->qelsMax(d->as<float>(), n)); }); },
         [=](State& s, int n) { auto d = floats(n); std::uint32_t at = 0; timed(s, [&] { volk_32f_index_max_32u(&at, d->as<float>(), n); benchmark::DoNotOptimize(at); }); }},
        {"min", 4, [=](Api api, State& s, int n) { auto d = floats(n); timed(s, [&] { benchmark::DoNotOptimize(api->qelsMin(d->as<float>(), n)); }); },
         [=](State& s, int n) { auto d = floats(n); std::uint32_t at = 0; timed(s, [&] { volk_32f_index_min_32u(&at, d->as<float>(), n); benchmark::DoNotOptimize(at); }); }},
        // 16 bits, round to nearest; VOLK scales by 32767 on the way
        {"floatToInt16", 4, [=](Api api, State& s, int n) { auto f = scaled(n, 30000.0f); auto d = zeros(n); timed(s, [&] { api->qelsbFloatToInt(f->as<float>(), d->as<void>(), n, 16, QEL_CVT_NEAREST); }); },
         [=](State& s, int n) { auto f = floats(n); auto d = zeros(n); timed(s, [&] { volk_32f_s32f_convert_16i(d->as<std::int16_t>(), f->as<float>(), 30000.0f, n); }); }},
        {"intToFloat16", 4, [=](Api api, State& s, int n) { auto i = shorts(n); auto d = zeros(n); timed(s, [&] { api->qelsbIntToFloat(i->as<void>(), d->as<float>(), n, 16, 0); }); },
         [=](State& s, int n) { auto i = shorts(n); auto d = zeros(n); timed(s, [&] { volk_16i_s32f_convert_32f(d->as<float>(), i->as<std::int16_t>(), 1.0f, n); }); }},
    };
}

void registerVectors(const std::vector<const zv::test::LibraryApi*>& variants) {
    const std::vector<std::pair<int, std::string>> sizes = {{1024, "n:1024"}, {65536, "n:65536"}, {4 << 20, "n:4Mi"}};
    for (const VectorCase& c : vectorCases()) {
        for (const auto& [n, label] : sizes) {
            for (const auto* api : variants) {
                auto body = c.variant;
                add(c.operation, label, n, api->name, Role::kVariant,
                    [body, api, n = n](benchmark::State& state) { body(api, state, n); });
            }
            if (c.volk) {
                auto body = c.volk;
                add(c.operation, label, n, "volk", Role::kPeer, [body, n = n](benchmark::State& state) { body(state, n); });
            }
            const std::size_t bytes = c.bytesPerElement * static_cast<std::size_t>(n);
            add(c.operation, label, n, "memcpy", Role::kReference,
                [bytes](benchmark::State& state) { copyBody(state, bytes); });
        }
    }
}

// ---- the table -------------------------------------------------------------

std::string formatTime(double ns) {
    char text[32];
    if (ns < 1e3) std::snprintf(text, sizeof text, "%.1f ns", ns);
    else if (ns < 1e6) std::snprintf(text, sizeof text, "%.2f us", ns / 1e3);
    else std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
    return text;
}

// Collects each run's time per iteration and prints the tables at the end;
// progress goes to stderr as the runs finish.
class TableReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override {
        std::fprintf(stderr, "zv_bench: %zu benchmarks on %d CPUs at %.0f MHz\n", gEntries.size(),
                     context.cpu_info.num_cpus, context.cpu_info.cycles_per_second / 1e6);
        return true;
    }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();
            // Without the time kind that Google Benchmark appends.
            std::string base = name.substr(0, name.find("/real_time"));
            base = base.substr(0, base.find("/manual_time"));
            if (run.error_occurred || run.iterations == 0) {
                std::fprintf(stderr, "  %s: %s\n", base.c_str(), run.error_message.c_str());
                continue;
            }
            const double ns = run.real_accumulated_time / static_cast<double>(run.iterations) * 1e9;
            runs_[base].push_back(ns);
            std::fprintf(stderr, "  %-40s %12s\n", base.c_str(), formatTime(ns).c_str());
        }
    }
    void Finalize() override {
        // The median of each benchmark's repetitions: they are spread over the
        // whole run, so a burst of other work on the machine hits one of them.
        for (auto& [name, values] : runs_) {
            std::sort(values.begin(), values.end());
            times_[name] = values[values.size() / 2];
        }
        for (const std::string& operation : gOperations) printOperation(operation);
    }

private:
    void printOperation(const std::string& operation) {
        std::vector<std::pair<long, std::string>> rows;
        std::vector<const Column*> columns;
        for (const auto& [name, entry] : gEntries) {
            if (entry.operation != operation || !times_.count(name)) continue;
            std::pair<long, std::string> row{entry.sortKey, entry.size};
            if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
        }
        if (rows.empty()) return;
        std::sort(rows.begin(), rows.end());
        // variants, then peers, then the reference
        std::vector<Column> ordered = gColumns;
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const Column& a, const Column& b) { return a.role < b.role; });
        for (const Column& column : ordered) {
            for (const auto& [name, entry] : gEntries)
                if (entry.operation == operation && entry.target == column.name && times_.count(name)) {
                    columns.push_back(&*std::find_if(gColumns.begin(), gColumns.end(),
                                                     [&](const Column& c) { return c.name == column.name; }));
                    break;
                }
        }
        std::vector<const Column*> variants;
        bool hasPeer = false;
        for (const Column* c : columns) {
            if (c->role == Role::kVariant) variants.push_back(c);
            if (c->role == Role::kPeer) hasPeer = true;
        }

        std::printf("\n%s: time per call", operation.c_str());
        std::printf(hasPeer ? "; ratio = variant time / best peer's time (below 1: faster)\n\n"
                            : " (no peer has this operation); ratio = variant time / memcpy's time\n\n");
        std::printf("| size |");
        for (const Column* c : columns) std::printf(" %s |", c->name.c_str());
        for (const Column* v : variants) std::printf(" %s ratio |", v->name.c_str());
        std::printf("\n|---|");
        for (std::size_t i = 0; i < columns.size() + variants.size(); ++i) std::printf("---:|");
        std::printf("\n");
        for (const auto& row : rows) {
            std::printf("| %s |", row.second.c_str());
            double best = 0.0;
            for (const Column* c : columns) {
                auto t = times_.find(operation + "/" + row.second + "/" + c->name);
                if (t == times_.end()) {
                    std::printf(" - |");
                    continue;
                }
                std::printf(" %s |", formatTime(t->second).c_str());
                const bool counts = hasPeer ? c->role == Role::kPeer : c->role == Role::kReference;
                if (counts && (best == 0.0 || t->second < best)) best = t->second;
            }
            for (const Column* v : variants) {
                auto t = times_.find(operation + "/" + row.second + "/" + v->name);
                if (t == times_.end() || best == 0.0) std::printf(" - |");
                else std::printf(" %.2f |", t->second / best);
            }
            std::printf("\n");
        }
    }

    std::map<std::string, std::vector<double>> runs_;
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    // By default three short repetitions of every benchmark, interleaved at
    // random over the run, and their median (the machine is usually shared);
    // the same options later on the command line win.
    std::vector<char*> arguments(argv, argv + argc);
    static char defaultMinTime[] = "--benchmark_min_time=0.1";
    static char defaultRepetitions[] = "--benchmark_repetitions=3";
    static char defaultInterleaving[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, {defaultMinTime, defaultRepetitions, defaultInterleaving});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 2;

    std::vector<const zv::test::LibraryApi*> variants;
    for (const std::string& code : zv::test::builtVariants()) {
        const zv::test::LibraryApi* api = zv::test::openLibrary(code);
        if (api == nullptr) {
            std::fprintf(stderr, "zv_bench: cannot load %s\n", zv::test::libraryPath(code).c_str());
            return 2;
        }
        bool complete = true;
#define ZV_EXPORT(ordinal, fn) complete = complete && api->fn != nullptr;
#include "runtime/export_list.h"
#undef ZV_EXPORT
        if (!complete) {
            std::fprintf(stderr, "zv_bench: %s lacks some of the sixteen exports\n",
                         zv::test::libraryPath(code).c_str());
            return 2;
        }
        variants.push_back(api);
    }
    registerFfts(variants, 4, 20);
    registerVectors(variants);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    fftwf_cleanup();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: MIT
// Prints one digest of the outputs per variant, export and size, for every
// variant library in a folder: the same program built for 64-bit Linux and
// for 64-bit Windows must print the same lines (tests/win32/digests/
// compare_digests.cmake runs both). Sizes follow the transforms' orders 0 to
// 16; the data are fixed pseudo-random noise, values of wide exponents and
// values mixed with zeros, subnormals, infinities and NaNs.
//
//   zv_output_digests <library folder> [x87-53]
//
// With "x87-53" every call is made with the x87 unit set to 53-bit precision
// (the state in which Windows x64 starts threads), and the control word must
// be the same when the call returns.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/variant_traits.h"
#include "zentavol.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct Api {
#define ZV_EXPORT(ordinal, fn) decltype(&::fn) fn = nullptr;
#include "runtime/export_list.h"
#undef ZV_EXPORT
};

bool openVariant(const std::string& folder, const std::string& code, Api& api) {
#if defined(_WIN32)
    HMODULE handle = LoadLibraryA((folder + "\\Zentavol" + code + ".dll").c_str());
    auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(handle, name)); };
#else
    void* handle = dlopen((folder + "/libZentavol" + code + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto find = [&](const char* name) { return dlsym(handle, name); };
#endif
    if (handle == nullptr) return false;
    bool complete = true;
#define ZV_EXPORT(ordinal, fn)                                   \
    api.fn = reinterpret_cast<decltype(&::fn)>(find(#fn)); \
    complete = complete && api.fn != nullptr;
#include "runtime/export_list.h"
#undef ZV_EXPORT
    return complete;
}

// The caller's x87 control word for every call; 0 leaves it alone.
std::uint16_t callerWord = 0;

std::uint16_t x87Word() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

// Runs one call under the caller's word and checks that it comes back.
template <typename Call>
void call(const char* what, Call&& body) {
    if (callerWord != 0) asm volatile("fldcw %0" : : "m"(callerWord));
    body();
    if (callerWord != 0 && x87Word() != callerWord) {
        std::printf("control word %04x after %s, called with %04x\n", x87Word(), what, callerWord);
        std::exit(2);
    }
}

// FNV-1a over bytes, 64 bits.
struct Digest {
    std::uint64_t value = 0xcbf29ce484222325u;
    void add(const void* data, std::size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < bytes; ++i) value = (value ^ p[i]) * 0x100000001b3u;
    }
    template <typename T>
    void add(const std::vector<T>& v) {
        if (!v.empty()) add(v.data(), v.size() * sizeof(T));
    }
};

struct Random {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

float fromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// kind 0: noise in [-1, 1); 1: wide exponents (2^-40 to 2^40); 2: noise
// with every seventh value special (signed zeros, subnormals, infinities,
// quiet and signalling NaNs with payloads).
std::vector<float> data(int kind, std::size_t count, std::uint32_t seed) {
    Random r{seed * 2654435761u + 12345u + static_cast<std::uint32_t>(kind)};
    std::vector<float> v(count);
    static const std::uint32_t specials[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x807fffffu,
                                             0x7f800000u, 0xff800000u, 0x7fc00123u, 0xffa00456u,
                                             0x7f7fffffu, 0x00800000u};
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t bits = r.next();
        float x = static_cast<float>(static_cast<std::int32_t>(bits)) * 0x1p-31f;
        if (kind == 1) x = std::ldexp(x, static_cast<int>(r.next() % 81) - 40);
        if (kind == 2 && i % 7 == 3) x = fromBits(specials[r.next() % 10]);
        v[i] = x;
    }
    return v;
}

// A copy in a block from the library's own allocator. Where the SIMD and MMX
// builds store out-of-range conversions, or order NaNs in the extremes, by
// the lane an element falls in, the result depends on the vector's
// alignment, which the C run-times' allocators leave to chance.
template <typename T>
class Block {
public:
    Block(const Api& a, const std::vector<T>& v) : a_(a), size_(v.size()) {
        data_ = static_cast<T*>(a_.qelMalloc(static_cast<int>(size_ * sizeof(T))));
        if (data_ == nullptr) {
            std::printf("qelMalloc failed\n");
            std::exit(2);
        }
        std::memcpy(data_, v.data(), size_ * sizeof(T));
    }
    ~Block() { a_.qelFree(data_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    T* data() { return data_; }
    std::vector<T> contents() const { return std::vector<T>(data_, data_ + size_); }

private:
    const Api& a_;
    std::size_t size_;
    T* data_;
};

void line(const std::string& code, const char* what, int size, const Digest& d) {
    std::printf("%s %s %d %016llx\n", code.c_str(), what, size, static_cast<unsigned long long>(d.value));
}

void digestVariant(const std::string& code, const Api& a) {
    for (int order = 0; order <= 16; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const int odd = static_cast<int>(n) + order;  // a length off the block sizes
        Digest complexFft, realFft, mag, arith, toInt, toFloat, misc;
        for (int kind = 0; kind < 3; ++kind) {
            const std::uint32_t seed = static_cast<std::uint32_t>(order * 3 + kind);
            const std::vector<float> x = data(kind, 2 * n, seed);
            static const int complexFlags[] = {
                QEL_FFT_FORWARD, QEL_FFT_INVERSE, QEL_FFT_INVERSE | QEL_FFT_NO_SCALE,
                QEL_FFT_FORWARD | QEL_FFT_OUTPUT_REVERSED, QEL_FFT_INVERSE | QEL_FFT_INPUT_REVERSED};
            for (int flags : complexFlags) {
                std::vector<float> y = x;
                call("qelcFft", [&] { a.qelcFft(reinterpret_cast<SComplex*>(y.data()), order, flags); });
                complexFft.add(y);
            }
            static const int realFlags[] = {QEL_FFT_FORWARD, QEL_FFT_INVERSE,
                                            QEL_FFT_INVERSE | QEL_FFT_NO_SCALE};
            for (int flags : realFlags) {
                std::vector<float> out(n + 2);
                const std::vector<float> in(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n));
                call("qelsRealFftNip", [&] {
                    a.qelsRealFftNip(in.data(), reinterpret_cast<SComplex*>(out.data()), order, flags);
                });
                realFft.add(out);
            }

            // NaNs with the sign bit clear: a squared magnitude that is a NaN
            // with its sign set ends the process in some builds.
            std::vector<float> z = data(kind, 2 * static_cast<std::size_t>(odd), seed + 1000);
            for (float& f : z)
                if (std::isnan(f)) f = std::fabs(f);
            const auto* zc = reinterpret_cast<const SComplex*>(z.data());
            for (int length : {static_cast<int>(n), odd}) {
                std::vector<float> m(static_cast<std::size_t>(length));
                call("qelcbMag", [&] { a.qelcbMag(zc, m.data(), length); });
                mag.add(m);
            }

            const std::vector<float> u = data(kind, static_cast<std::size_t>(odd), seed + 2000);
            std::vector<float> v = data(kind, static_cast<std::size_t>(odd), seed + 3000);
            const float value = u[static_cast<std::size_t>(odd) / 2];
            call("qelsbAdd1", [&] { a.qelsbAdd1(value, v.data(), odd); });
            arith.add(v);
            call("qelsbMpy2", [&] { a.qelsbMpy2(u.data(), v.data(), odd); });
            arith.add(v);
            call("qelsbAdd2", [&] { a.qelsbAdd2(u.data(), v.data(), odd); });
            arith.add(v);
            call("qelsbMpy1", [&] { a.qelsbMpy1(value, v.data(), odd); });
            arith.add(v);
            call("qelsbSet", [&] { a.qelsbSet(value, v.data(), odd); });
            arith.add(v);

            // Scaled so that many values fall inside and some outside each type.
            std::vector<float> scaled = data(kind, static_cast<std::size_t>(odd), seed + 4000);
            for (float& f : scaled) f *= 70000.0f;
            Block<float> s(a, scaled);
            static const int roundings[] = {QEL_CVT_NEAREST, QEL_CVT_TRUNCATE, QEL_CVT_FLOOR, QEL_CVT_CEIL};
            for (int size : {8, 16, 32}) {
                for (int sign : {0, QEL_CVT_UNSIGNED}) {
                    for (int rounding : roundings) {
                        for (int saturate : {0, QEL_CVT_SATURATE}) {
                            Block<std::uint32_t> ints(
                                a, std::vector<std::uint32_t>(static_cast<std::size_t>(odd), 0xa5a5a5a5u));
                            call("qelsbFloatToInt", [&] {
                                a.qelsbFloatToInt(s.data(), ints.data(), odd, size, rounding | sign | saturate);
                            });
                            toInt.add(ints.contents());
                        }
                    }
                    std::vector<std::uint32_t> ints(static_cast<std::size_t>(odd));
                    Random r{seed + 5000u + static_cast<std::uint32_t>(size + sign)};
                    for (auto& i : ints) i = r.next();
                    std::vector<float> back(static_cast<std::size_t>(odd));
                    call("qelsbIntToFloat", [&] { a.qelsbIntToFloat(ints.data(), back.data(), odd, size, sign); });
                    toFloat.add(back);
                }
            }

            // Room for 2 * odd - 2 complex values.
            std::vector<float> e(4 * static_cast<std::size_t>(odd), 0.0f);
            std::copy(z.begin(), z.end(), e.begin());
            call("qelcbConjExtend1", [&] { a.qelcbConjExtend1(reinterpret_cast<SComplex*>(e.data()), odd); });
            misc.add(e);
            std::vector<float> re(static_cast<std::size_t>(odd));
            call("qelcbReal", [&] { a.qelcbReal(zc, re.data(), odd); });
            misc.add(re);
            float extremes[2];
            Block<float> ub(a, u);
            call("qelsMax", [&] { extremes[0] = a.qelsMax(ub.data(), odd); });
            call("qelsMin", [&] { extremes[1] = a.qelsMin(ub.data(), odd); });
            misc.add(extremes, sizeof extremes);
        }
        line(code, "qelcFft", order, complexFft);
        line(code, "qelsRealFftNip", order, realFft);
        line(code, "qelcbMag", order, mag);
        line(code, "arithmetic", order, arith);
        line(code, "qelsbFloatToInt", order, toInt);
        line(code, "qelsbIntToFloat", order, toFloat);
        line(code, "complex-and-extremes", order, misc);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "x87-53") != 0)) {
        std::fprintf(stderr, "usage: zv_output_digests <library folder> [x87-53]\n");
        return 2;
    }
    // The default word with 53-bit precision: masks, rounding to nearest.
    if (argc == 3) callerWord = 0x027F;
    // Every build of the rows, in the front library's table order.
    for (const zv::test::VariantTraits& build : zv::test::kVariantTraits) {
        const char* code = build.code;
        Api api;
        if (!openVariant(argv[1], code, api)) {
            std::printf("%s cannot be loaded from %s\n", code, argv[1]);
            return 2;
        }
        digestVariant(code, api);
    }
    return 0;
}

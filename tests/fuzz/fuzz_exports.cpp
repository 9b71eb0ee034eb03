// SPDX-License-Identifier: MIT
// The differential fuzz target (libFuzzer): reads its input as a list of
// calls, makes each call in every variant library of the build, checks what
// needs no oracle and compares each variant with the generic one (the build
// every preference row ends in).
// Each variant is loaded a second time, from a copy, with its accelerated
// paths switched off (ZENTAVOL_REFERENCE_PATHS): the transforms and the
// magnitudes of the two instances must agree bit for bit.
// Loads the variants by path; links none.
#include <cmath>
#include <complex>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <unistd.h>
#include <limits>
#include <string>
#include <vector>

#include <sanitizer/asan_interface.h>
#include <xmmintrin.h>

#include "tests/support/variant_loader.h"

namespace {

using Cd = std::complex<double>;
using zv::test::LibraryApi;

// ---- What the builds are allowed to do differently ------------------------

enum class ExtremesRule {
    kFirstOrdered,  // the generic rule: ordered comparisons, the first of equals
    kBitOrder,      // the total order of the bit patterns (x87 integer builds)
    kAnyElement,    // lane-wise SIMD: some element; the generic value without NaNs
};

struct Build {
    const LibraryApi* api;
    LibraryApi reference;  // the same build with only its reference paths
    ExtremesRule extremes;
    int magBlockUlps;              // magnitudes of the 128-element blocks against the generic build
    bool magExitsOnNegativeNaN;    // a NaN with its sign set in a block ends the process
    bool unsigned32ToFloatTwice;   // unsigned 32-bit values >= 2^31 may be 1 ulp off
};

Build describe(const LibraryApi* api) {
    const std::string& c = api->name;
    Build b{api, {}, ExtremesRule::kAnyElement, 0, false, false};
    const zv::test::VariantTraits& traits = zv::test::traitsOf(c);
    if (traits.genericExtremeOrder) b.extremes = ExtremesRule::kFirstOrdered;
    if (traits.bitOrderExtremes) b.extremes = ExtremesRule::kBitOrder;
    // One Newton step on the reciprocal square root estimate (SIMD), or a
    // software square root within one unit of the correctly rounded one
    // (Heron steps); the others take the correctly rounded root of the same power.
    b.magBlockUlps = traits.estimatedBlockRoots ? 8 : (traits.softwareBlockRoots ? 1 : 0);
    b.magExitsOnNegativeNaN = traits.estimatedBlockRoots || traits.softwareBlockRoots;
    b.unsigned32ToFloatTwice = traits.twiceRoundedUnsigned;
    return b;
}

std::vector<Build> builds;  // the generic build first

[[noreturn]] void fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("zv_fuzz: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

// ---- Floats ------------------------------------------------------------------

std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

float fromBits(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

constexpr std::uint32_t kSign = 0x80000000u;
constexpr std::uint32_t kQuiet = 0x00400000u;

bool isNaNBits(std::uint32_t u) { return (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) != 0; }

// The same value bit for bit, a NaN possibly quieted on its way through an
// x87 load (sign and payload kept).
bool sameValue(float got, float want) {
    const std::uint32_t g = bitsOf(got), w = bitsOf(want);
    return g == w || (isNaNBits(w) && g == (w | kQuiet));
}

// Both NaN (of any payload), or the same bits.
bool sameOrBothNaN(float a, float b) { return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)); }

// The reference instance's result for the same call is the same, bit for
// bit: its accelerated paths give the bits of the reference ones.
template <typename T>
void checkReferenceBits(const Build& b, const char* fn, int order, int flags, const std::vector<T>& got,
                        const std::vector<T>& reference) {
    if (std::memcmp(got.data(), reference.data(), got.size() * sizeof(T)) == 0) return;
    std::size_t k = 0;
    while (std::memcmp(&got[k], &reference[k], sizeof(T)) == 0) ++k;
    std::uint32_t g[sizeof(T) / 4], r[sizeof(T) / 4];
    std::memcpy(g, &got[k], sizeof(T));
    std::memcpy(r, &reference[k], sizeof(T));
    fail("%s %s order %d flags %#x: element %zu has the words %08x.. on the accelerated paths, %08x.. on the "
         "reference ones",
         b.api->name.c_str(), fn, order, flags, k, g[0], r[0]);
}

// Distance in units in the last place (finite or infinite, same sign scale).
std::int64_t ulpDistance(float a, float b) {
    auto key = [](float f) -> std::int64_t {
        const std::uint32_t u = bitsOf(f);
        return (u & kSign) ? -static_cast<std::int64_t>(u & ~kSign) : static_cast<std::int64_t>(u);
    };
    const std::int64_t d = key(a) - key(b);
    return d < 0 ? -d : d;
}

// Values a fuzzer should try everywhere: zeros, infinities, NaNs of both
// kinds and signs, the extremes of the range, subnormals, and the points
// where the conversions change their mind.
constexpr float kEdges[] = {
    0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 2.5f, -2.5f, 3.5f, 0.25f, -0.25f, -0.75f,
    0.49999997f, -0.50000006f, 127.5f, -128.5f, 127.49999f, -128.99998f, 255.0f, 254.5f,
    255.25f, 255.5f, 255.49998f, 255.99998f, -0.99999994f, 32767.5f, -32768.5f,
    65535.5f, 65536.0f, 2147483520.0f, 2147483648.0f, -2147483648.0f, -2147483904.0f,
    4294967040.0f, 4294967296.0f, 16777217.0f, 8388608.5f, 12582912.0f, 1.8e19f, 1e20f};

float edgeFloat(std::uint32_t pick, std::uint32_t bits) {
    switch (pick % 16) {
        case 0: return fromBits(0x7F800000u);                                 // +inf
        case 1: return fromBits(0xFF800000u);                                 // -inf
        case 2: return fromBits(0x7FC00000u | (bits & 0x003FFFFFu));          // quiet NaN
        case 3: return fromBits(0x7F800000u | ((bits & 0x003FFFFFu) | 1u));  // signalling NaN
        case 4: return fromBits(0xFFC00000u | (bits & 0x003FFFFFu));          // negative NaN
        case 5: return std::numeric_limits<float>::max();
        case 6: return -std::numeric_limits<float>::max();
        case 7: return std::numeric_limits<float>::min();
        case 8: return fromBits(1u);                                          // smallest subnormal
        case 9: return fromBits((bits & kSign) | (bits & 0x007FFFFFu));       // any subnormal
        case 10: return -0.0f;
        case 11: return 0.0f;
        default: return kEdges[bits % (sizeof kEdges / sizeof kEdges[0])] * ((bits >> 31) ? -1.0f : 1.0f);
    }
}

// ---- The input ---------------------------------------------------------------

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
    bool empty() const { return left_ == 0; }
    std::uint8_t u8() {
        if (left_ == 0) return 0;
        --left_;
        return *p_++;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16); }
    // A float: an edge value most of the time, otherwise any bit pattern.
    float value() {
        const std::uint8_t pick = u8();
        const std::uint32_t bits = u32();
        return pick < 160 ? edgeFloat(pick, bits) : fromBits(bits);
    }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

struct Rng {
    std::uint64_t s;
    std::uint64_t next() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
};

// How a vector is filled: a seed, a scale family and how often an edge value
// replaces the drawn one; then a few elements set from the input directly.
struct Fill {
    Rng rng;
    std::uint8_t family;
    std::uint32_t edgeRate;  // out of 256
};

Fill readFill(Input& in) {
    Fill f;
    f.rng.s = in.u32() | (static_cast<std::uint64_t>(in.u32()) << 32);
    const std::uint8_t style = in.u8();
    f.family = style & 7;
    constexpr std::uint32_t kRates[] = {0, 0, 0, 1, 8, 32, 128, 256};
    f.edgeRate = kRates[(style >> 3) & 7];
    return f;
}

float draw(Fill& f) {
    if (f.edgeRate != 0 && (f.rng.next() & 255) < f.edgeRate) {
        const std::uint64_t r = f.rng.next();
        return edgeFloat(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(r >> 32));
    }
    const double u = f.rng.unit() * 2 - 1;
    switch (f.family) {
        case 0:
        case 1: return static_cast<float>(u);                                     // [-1, 1)
        case 2: return static_cast<float>(std::ldexp(std::round(u * 600), -1));   // halves in [-150, 150]
        case 3: return static_cast<float>(u * 70000.0);                           // around 16 bits
        case 4: return static_cast<float>(std::ldexp(u, static_cast<int>(f.rng.next() % 35)));  // up to 2^34
        case 5: return static_cast<float>(std::ldexp(u, static_cast<int>(f.rng.next() % 280) - 150));
        case 6: return fromBits(static_cast<std::uint32_t>(f.rng.next()));       // any pattern
        default: return static_cast<float>(std::ldexp(u, -130));                  // subnormal
    }
}

// `finite` keeps out infinities, NaNs and the largest floats (a transform's
// result can be checked only then), unless the input's next byte asks for
// them one time in four.
void fillFloats(Input& in, float* v, std::size_t n, bool finite = false) {
    Fill f = readFill(in);
    finite = finite && in.u8() >= 64;
    if (finite) {
        f.edgeRate = 0;
        if (f.family == 6) f.family = 0;
    }
    for (std::size_t i = 0; i < n; ++i) v[i] = draw(f);
    for (int k = in.u8() % 5; k > 0 && n > 0; --k) {
        const float x = in.value();
        v[in.u16() % n] = finite && !(std::fabs(x) < 0x1p60f) ? 1.0f : x;
    }
}

// A length: mostly short, often around the block sizes the builds switch at
// (4, 8, 16, 128), sometimes past the SIMD builds' streaming thresholds.
int readLength(Input& in) {
    const std::uint8_t pick = in.u8();
    if (pick < 128) return 1 + pick % 40;
    if (pick < 192) return 120 + in.u8() % 150;
    if (pick < 240) return 1 + in.u16() % 1100;
    return 1 + in.u16() % 9000;
}

// ---- Exact blocks --------------------------------------------------------------

// A heap block of exactly n elements, whose start lies `shift` 4-byte steps
// past a 32-byte boundary; the bytes before it are poisoned, so an access on
// either side of the n elements is caught (to the 8-byte granule at the start).
template <typename T>
class Exact {
public:
    Exact(std::size_t n, unsigned shift) : n_(n), offset_((shift % 8) * 4) {
        if (posix_memalign(&base_, 32, offset_ + n * sizeof(T) + (n == 0)) != 0) fail("out of memory");
        data_ = reinterpret_cast<T*>(static_cast<char*>(base_) + offset_);
        ASAN_POISON_MEMORY_REGION(base_, offset_ & ~std::size_t{7});
    }
    Exact(const std::vector<T>& v, unsigned shift) : Exact(v.size(), shift) {
        if (!v.empty()) std::memcpy(data_, v.data(), v.size() * sizeof(T));
    }
    ~Exact() {
        ASAN_UNPOISON_MEMORY_REGION(base_, offset_);
        std::free(base_);
    }
    Exact(const Exact&) = delete;
    Exact& operator=(const Exact&) = delete;
    T* data() { return data_; }
    std::vector<T> copy() const { return std::vector<T>(data_, data_ + n_); }

private:
    void* base_ = nullptr;
    T* data_ = nullptr;
    std::size_t n_;
    std::size_t offset_;
};

// ---- The floating-point environment ------------------------------------------

// Every call must leave the rounding and precision modes and the exception
// masks as it found them (the sticky flags may change), and the x87 register
// stack empty (an MMX kernel without emms leaves it full).
struct FpModes {
    std::uint16_t x87;
    std::uint32_t mxcsr;
    std::uint8_t usedRegisters;  // the abridged tag word: a bit per register in use
    static FpModes now() {
        FpModes m;
        alignas(16) std::uint8_t state[512];
        __asm__ volatile("fxsave %0" : "=m"(state));
        std::memcpy(&m.x87, state, 2);
        m.usedRegisters = state[4];
        m.mxcsr = _mm_getcsr() & ~0x3Fu;
        return m;
    }
};

void checkModes(const FpModes& before, const Build& b, const char* fn) {
    const FpModes after = FpModes::now();
    if (after.x87 != before.x87 || after.mxcsr != before.mxcsr)
        fail("%s %s: the floating-point modes changed (x87 %04x -> %04x, MXCSR %08x -> %08x)", b.api->name.c_str(),
             fn, before.x87, after.x87, before.mxcsr, after.mxcsr);
    if (after.usedRegisters != 0)
        fail("%s %s: the x87 registers are left in use (tags %02x)", b.api->name.c_str(), fn, after.usedRegisters);
}

// ---- Memory --------------------------------------------------------------------

void fuzzMalloc(Input& in) {
    int bytes;
    switch (in.u8() % 4) {
        case 0: bytes = in.u16() % 4097; break;
        case 1: bytes = static_cast<int>(in.u32() % (1u << 20)); break;
        case 2: bytes = -1 - static_cast<int>(in.u32() & 0x7FFFFFFF); break;
        default: {
            constexpr int kCounts[] = {0, 1, 3, 4, 31, 32, 33, 35, 36, 63, 64, -1, -36, std::numeric_limits<int>::min()};
            bytes = kCounts[in.u8() % (sizeof kCounts / sizeof kCounts[0])];
        }
    }
    for (const Build& b : builds) {
        void* block = b.api->qelMalloc(bytes);
        if (bytes < 0) {
            if (block != nullptr) fail("%s qelMalloc(%d) gave a block", b.api->name.c_str(), bytes);
            continue;
        }
        if (block == nullptr) fail("%s qelMalloc(%d) gave null", b.api->name.c_str(), bytes);
        if (reinterpret_cast<std::uintptr_t>(block) % 32 != 0)
            fail("%s qelMalloc(%d) gave %p, not a multiple of 32", b.api->name.c_str(), bytes, block);
        std::memset(block, 0xA5, static_cast<std::size_t>(bytes));  // every byte promised is there
        b.api->qelFree(block);
        b.api->qelFree(nullptr);
    }
}

// ---- Element-wise arithmetic -----------------------------------------------------

// The arithmetic is correctly rounded single precision in every build, which
// the target's own SSE arithmetic is too; only a NaN's payload may differ.
void fuzzArith(Input& in, int which) {
    static const char* const kNames[] = {"qelsbSet", "qelsbAdd1", "qelsbMpy1", "qelsbAdd2", "qelsbMpy2"};
    const char* name = kNames[which];
    const int n = readLength(in);
    const unsigned shiftDst = in.u8(), shiftSrc = in.u8();
    const float value = in.value();
    const bool alias = (in.u8() & 3) == 0;
    std::vector<float> dst(static_cast<std::size_t>(n)), src(static_cast<std::size_t>(n));
    fillFloats(in, dst.data(), dst.size());
    fillFloats(in, src.data(), src.size());
    if (alias) src = dst;

    std::vector<float> want(dst.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        volatile float d = dst[i], s = src[i], v = value;
        switch (which) {
            case 0: want[i] = value; break;
            case 1: want[i] = d + v; break;
            case 2: want[i] = d * v; break;
            case 3: want[i] = d + s; break;
            default: want[i] = d * s; break;
        }
    }
    for (const Build& b : builds) {
        Exact<float> d(dst, shiftDst), s(src, shiftSrc);
        float* source = alias ? d.data() : s.data();
        const FpModes modes = FpModes::now();
        switch (which) {
            case 0: b.api->qelsbSet(value, d.data(), n); break;
            case 1: b.api->qelsbAdd1(value, d.data(), n); break;
            case 2: b.api->qelsbMpy1(value, d.data(), n); break;
            case 3: b.api->qelsbAdd2(source, d.data(), n); break;
            default: b.api->qelsbMpy2(source, d.data(), n); break;
        }
        checkModes(modes, b, name);
        const float* got = d.data();
        for (std::size_t i = 0; i < want.size(); ++i) {
            const bool ok = which == 0 ? bitsOf(got[i]) == bitsOf(want[i]) : sameOrBothNaN(got[i], want[i]);
            if (!ok)
                fail("%s %s n=%d: element %zu is %08x, want %08x (dst %08x, src %08x, value %08x)",
                     b.api->name.c_str(), name, n, i, bitsOf(got[i]), bitsOf(want[i]), bitsOf(dst[i]),
                     bitsOf(src[i]), bitsOf(value));
        }
        if (!alias && std::memcmp(s.data(), src.data(), src.size() * 4) != 0)
            fail("%s %s: the source changed", b.api->name.c_str(), name);
    }
}

// ---- Complex vectors -------------------------------------------------------------

std::vector<SComplex> complexFrom(Input& in, std::size_t n, bool finite = false) {
    std::vector<float> parts(2 * n);
    fillFloats(in, parts.data(), parts.size(), finite);
    std::vector<SComplex> v(n);
    std::memcpy(v.data(), parts.data(), parts.size() * 4);
    return v;
}

void fuzzConjExtend(Input& in) {
    const int n = readLength(in);
    const std::size_t room = static_cast<std::size_t>(n <= 2 ? n : 2 * n - 2);
    const unsigned shift = in.u8();
    std::vector<SComplex> vec = complexFrom(in, room);
    std::vector<std::vector<SComplex>> results;
    for (const Build& b : builds) {
        Exact<SComplex> v(vec, shift);
        const FpModes modes = FpModes::now();
        b.api->qelcbConjExtend1(v.data(), n);
        checkModes(modes, b, "qelcbConjExtend1");
        const SComplex* got = v.data();
        for (std::size_t j = 0; j < room; ++j) {
            const bool head = j < static_cast<std::size_t>(n);
            const SComplex& src = head ? vec[j] : vec[room - j];
            const std::uint32_t re = bitsOf(src.re), im = bitsOf(src.im);
            const std::uint32_t wantIm = head ? im : im ^ kSign;
            // A signalling NaN in an imaginary part may arrive quiet (x87 negation).
            const bool imOk = bitsOf(got[j].im) == wantIm || (!head && isNaNBits(im) && bitsOf(got[j].im) == (wantIm | kQuiet));
            if (bitsOf(got[j].re) != re || !imOk)
                fail("%s qelcbConjExtend1 n=%d: element %zu is (%08x, %08x), want (%08x, %08x)%s", b.api->name.c_str(), n, j,
                     bitsOf(got[j].re), bitsOf(got[j].im), re, wantIm, head ? " (not to be changed)" : "");
        }
    }
}

void fuzzReal(Input& in) {
    const int n = readLength(in);
    const unsigned shiftSrc = in.u8(), shiftDst = in.u8();
    const std::vector<SComplex> src = complexFrom(in, static_cast<std::size_t>(n));
    std::vector<float> dst(static_cast<std::size_t>(n));
    fillFloats(in, dst.data(), dst.size());
    for (const Build& b : builds) {
        Exact<SComplex> s(src, shiftSrc);
        Exact<float> d(dst, shiftDst);
        const FpModes modes = FpModes::now();
        b.api->qelcbReal(s.data(), d.data(), n);
        checkModes(modes, b, "qelcbReal");
        for (int i = 0; i < n; ++i)
            if (bitsOf(d.data()[i]) != bitsOf(src[i].re))
                fail("%s qelcbReal n=%d: element %d is %08x, want %08x", b.api->name.c_str(), n, i, bitsOf(d.data()[i]),
                     bitsOf(src[i].re));
    }
}

// The float just below and just above a positive double (or infinity).
float floatBelow(double x) {
    float f = static_cast<float>(x);
    return static_cast<double>(f) > x ? std::nextafter(f, 0.0f) : f;
}
float floatAbove(double x) {
    float f = static_cast<float>(x);
    return static_cast<double>(f) < x ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

// The generic build's magnitude of z: the direct path is sqrt(re^2 + im^2) at extended
// precision rounded once, so within one ulp of the double result; a block
// element goes through a power rounded to single precision (overflowing to
// infinity, losing bits as a subnormal) and the square root of that.
bool magnitudeFits(SComplex z, float got, bool block) {
    const double re = z.re, im = z.im;
    // re^2 + im^2 as written: a NaN part wins over an infinite one.
    if (std::isnan(re) || std::isnan(im)) return std::isnan(got);
    if (std::isinf(re) || std::isinf(im)) return bitsOf(got) == 0x7F800000u;
    const double power = re * re + im * im;
    if (!block) {
        const double mag = std::sqrt(power);
        return std::isfinite(mag) && mag <= std::numeric_limits<float>::max()
                   ? !std::signbit(got) && ulpDistance(got, static_cast<float>(mag)) <= 1
                   : ulpDistance(got, floatBelow(mag)) <= 1 || bitsOf(got) == 0x7F800000u;
    }
    const float lo = std::nextafter(floatBelow(power), 0.0f);
    const float hi = std::nextafter(floatAbove(power), std::numeric_limits<float>::infinity());
    if (std::signbit(got)) return false;
    const double g = got;
    return g >= std::nextafter(floatBelow(std::sqrt(static_cast<double>(lo))), 0.0f) &&
           g <= std::nextafter(floatAbove(std::sqrt(static_cast<double>(hi))), std::numeric_limits<float>::infinity());
}

void fuzzMag(Input& in) {
    const int n = readLength(in);
    const unsigned shiftSrc = in.u8(), shiftDst = in.u8();
    const std::vector<SComplex> src = complexFrom(in, static_cast<std::size_t>(n));
    std::vector<float> dst(static_cast<std::size_t>(n));
    fillFloats(in, dst.data(), dst.size());
    const int blocked = n > 128 ? n / 128 * 128 : 0;
    bool nanInBlocks = false;
    for (int i = 0; i < blocked; ++i) nanInBlocks |= std::isnan(src[i].re) || std::isnan(src[i].im);

    std::vector<float> generic;
    for (const Build& b : builds) {
        if (nanInBlocks && b.magExitsOnNegativeNaN) continue;  // its square root reports a "negative" NaN
        Exact<SComplex> s(src, shiftSrc);
        Exact<float> d(dst, shiftDst);
        const FpModes modes = FpModes::now();
        b.api->qelcbMag(s.data(), d.data(), n);
        checkModes(modes, b, "qelcbMag");
        const float* got = d.data();
        {
            Exact<float> r(dst, shiftDst);
            b.reference.qelcbMag(s.data(), r.data(), n);
            checkReferenceBits(b, "qelcbMag", n, 0, d.copy(), r.copy());
        }
        if (generic.empty()) {  // the generic build: against the rules
            for (int i = 0; i < n; ++i)
                if (!magnitudeFits(src[i], got[i], i < blocked))
                    fail("%s qelcbMag n=%d: element %d of (%a, %a) is %a", b.api->name.c_str(), n, i, src[i].re, src[i].im,
                         got[i]);
            generic = d.copy();
            continue;
        }
        for (int i = 0; i < n; ++i) {
            const float g = generic[static_cast<std::size_t>(i)];
            bool ok;
            if (i >= blocked) {
                ok = sameOrBothNaN(got[i], g);  // every build computes these in the x87 unit
            } else if (std::isnan(g) || std::isinf(g)) {
                ok = std::isnan(got[i]) || std::isinf(got[i]);  // +inf may come back as NaN
            } else {
                ok = !std::isnan(got[i]) && ulpDistance(got[i], g) <= b.magBlockUlps;
            }
            if (!ok)
                fail("%s qelcbMag n=%d: element %d of (%a, %a) is %a, the generic build gives %a", b.api->name.c_str(), n, i, src[i].re,
                     src[i].im, got[i], g);
        }
    }
}

// ---- Extremes --------------------------------------------------------------------

float ruleMax(const std::vector<float>& v) {
    float m = v[0];
    for (float x : v)
        if (x > m) m = x;
    return m;
}

float ruleMin(const std::vector<float>& v) {
    float m = v[0];
    for (std::size_t i = 1; i < v.size(); ++i)
        if (!(v[i] >= m)) m = v[i];
    return m;
}

float bitOrderExtreme(const std::vector<float>& v, bool max) {
    auto key = [](float f) {
        const std::uint32_t u = bitsOf(f);
        return (u & kSign) ? ~u : (u | kSign);
    };
    float m = v[0];
    for (float x : v)
        if (max ? key(x) > key(m) : key(x) < key(m)) m = x;
    return m;
}

void fuzzExtremes(Input& in) {
    const int n = readLength(in);
    const unsigned shift = in.u8();
    std::vector<float> v(static_cast<std::size_t>(n));
    fillFloats(in, v.data(), v.size());
    bool anyNaN = false;
    for (float x : v) anyNaN |= std::isnan(x);
    const float wantMax = ruleMax(v), wantMin = ruleMin(v);
    for (const Build& b : builds) {
        Exact<float> e(v, shift);
        const FpModes modes = FpModes::now();
        const float max = b.api->qelsMax(e.data(), n);
        const float min = b.api->qelsMin(e.data(), n);
        checkModes(modes, b, "qelsMax/qelsMin");
        for (int k = 0; k < 2; ++k) {
            const float got = k == 0 ? max : min;
            bool ok = false;
            switch (b.extremes) {
                case ExtremesRule::kFirstOrdered: ok = sameValue(got, k == 0 ? wantMax : wantMin); break;
                case ExtremesRule::kBitOrder: ok = sameValue(got, bitOrderExtreme(v, k == 0)); break;
                case ExtremesRule::kAnyElement:
                    for (float x : v) ok |= sameValue(got, x);
                    if (!anyNaN) ok = ok && got == (k == 0 ? wantMax : wantMin);
                    break;
            }
            if (!ok)
                fail("%s %s n=%d: %08x, want %08x", b.api->name.c_str(), k == 0 ? "qelsMax" : "qelsMin", n, bitsOf(got),
                     bitsOf(k == 0 ? wantMax : wantMin));
        }
    }
}

// ---- Conversions -------------------------------------------------------------------

struct IntType {
    int size;
    bool isUnsigned;
    double min() const { return isUnsigned ? 0.0 : -std::ldexp(1.0, size - 1); }
    double max() const { return isUnsigned ? std::ldexp(1.0, size) - 1 : std::ldexp(1.0, size - 1) - 1; }
    std::size_t bytes() const { return static_cast<std::size_t>(size / 8); }
};

void storeInt(std::uint8_t* at, std::int64_t value, std::size_t bytes) {
    for (std::size_t k = 0; k < bytes; ++k) at[k] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * k));
}

std::int64_t loadInt(const std::uint8_t* at, IntType t) {
    std::uint64_t u = 0;
    for (std::size_t k = 0; k < t.bytes(); ++k) u |= static_cast<std::uint64_t>(at[k]) << (8 * k);
    if (t.isUnsigned) return static_cast<std::int64_t>(u);
    const std::uint64_t sign = std::uint64_t{1} << (t.size - 1);
    return static_cast<std::int64_t>((u ^ sign)) - static_cast<std::int64_t>(sign);
}

// x rounded by the mode in exact arithmetic: -1 below the type, +1 above
// (a NaN too), 0 in range with the value in *out.
int roundInto(float x, int rounding, IntType t, std::int64_t* out) {
    if (std::isnan(x)) return 1;
    const double d = x;
    double r;
    switch (rounding) {
        case QEL_CVT_NEAREST: r = std::nearbyint(d); break;  // the target runs in round-to-nearest
        case QEL_CVT_TRUNCATE: r = std::trunc(d); break;
        case QEL_CVT_FLOOR: r = std::floor(d); break;
        default: r = std::ceil(d); break;
    }
    if (r < t.min()) return -1;
    if (r > t.max()) return 1;
    *out = static_cast<std::int64_t>(r);
    return 0;
}

void fuzzFloatToInt(Input& in) {
    constexpr int kRounding[] = {QEL_CVT_NEAREST, QEL_CVT_TRUNCATE, QEL_CVT_FLOOR, QEL_CVT_CEIL};
    const int n = readLength(in);
    const IntType type{8 << (in.u8() % 3), false};
    const std::uint8_t how = in.u8();
    const int rounding = kRounding[how & 3];
    int flags = rounding | ((how & 4) ? QEL_CVT_UNSIGNED : 0) | ((how & 8) ? QEL_CVT_SATURATE : 0) |
                ((how & 16) ? QEL_CVT_REPORT : 0);
    if (how & 32) flags |= static_cast<int>(in.u32() & ~0x3F80u);  // bits that are not flags are ignored
    const IntType t{type.size, (flags & QEL_CVT_UNSIGNED) != 0};
    const unsigned shiftSrc = in.u8(), offsetDst = in.u8() % 8;
    std::vector<float> src(static_cast<std::size_t>(n));
    fillFloats(in, src.data(), src.size());
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(n) * t.bytes());
    Rng pattern{in.u32()};
    for (std::uint8_t& byte : dst) byte = static_cast<std::uint8_t>(pattern.next());

    // The expected result of the generic build; an out-of-range element with
    // QEL_CVT_REPORT would end the process, so such a call goes without it.
    std::vector<std::uint8_t> want = dst;
    std::vector<int> where(src.size());
    bool outOfRange = false;
    for (std::size_t i = 0; i < src.size(); ++i) {
        std::int64_t r = 0;
        where[i] = roundInto(src[i], rounding, t, &r);
        outOfRange |= where[i] != 0;
        if (where[i] == 0) storeInt(&want[i * t.bytes()], r, t.bytes());
        else if (flags & QEL_CVT_SATURATE)
            storeInt(&want[i * t.bytes()], static_cast<std::int64_t>(where[i] < 0 ? t.min() : t.max()), t.bytes());
    }
    if (outOfRange) flags &= ~QEL_CVT_REPORT;

    for (const Build& b : builds) {
        Exact<float> s(src, shiftSrc);
        // The integers need no alignment: they start at any byte (the end is
        // exact; the bytes before them are in the block).
        std::vector<std::uint8_t> padded(offsetDst, 0);
        padded.insert(padded.end(), dst.begin(), dst.end());
        Exact<std::uint8_t> d(padded, 0);
        const FpModes modes = FpModes::now();
        b.api->qelsbFloatToInt(s.data(), d.data() + offsetDst, n, t.size, flags);
        checkModes(modes, b, "qelsbFloatToInt");
        const std::uint8_t* got = d.data() + offsetDst;
        const bool generic = b.api->name == zv::test::kGenericVariant;
        for (std::size_t i = 0; i < src.size(); ++i) {
            if (where[i] != 0 && !generic) continue;  // each build has its own out-of-range writes
            if (std::memcmp(got + i * t.bytes(), &want[i * t.bytes()], t.bytes()) != 0)
                fail("%s qelsbFloatToInt n=%d size=%d flags=%#x: element %zu of %a is %lld, want %lld%s", b.api->name.c_str(),
                     n, t.size, flags, i, src[i], static_cast<long long>(loadInt(got + i * t.bytes(), t)),
                     static_cast<long long>(loadInt(&want[i * t.bytes()], t)), where[i] ? " (out of range)" : "");
        }
    }
}

void fuzzIntToFloat(Input& in) {
    const int n = readLength(in);
    const std::uint8_t how = in.u8();
    const IntType t{8 << (how % 3), (how & 4) != 0};
    const int flags = t.isUnsigned ? QEL_CVT_UNSIGNED : 0;
    const unsigned offsetSrc = in.u8() % 8, shiftDst = in.u8();
    std::vector<std::uint8_t> src(static_cast<std::size_t>(n) * t.bytes());
    Rng values{in.u32() | (static_cast<std::uint64_t>(in.u32()) << 32)};
    const std::uint8_t spread = in.u8();
    for (std::size_t i = 0; i < src.size(); i += t.bytes()) {
        std::uint64_t v = values.next();
        if (spread & 1) v = (v & 1) ? v >> (values.next() % 64) : ~(v >> (values.next() % 64));  // near 0 and -1
        storeInt(&src[i], static_cast<std::int64_t>(v), t.bytes());
    }
    std::vector<float> dst(static_cast<std::size_t>(n));
    fillFloats(in, dst.data(), dst.size());
    std::vector<float> want(dst.size());
    for (std::size_t i = 0; i < want.size(); ++i) want[i] = static_cast<float>(loadInt(&src[i * t.bytes()], t));

    for (const Build& b : builds) {
        std::vector<std::uint8_t> padded(offsetSrc, 0);
        padded.insert(padded.end(), src.begin(), src.end());
        Exact<std::uint8_t> s(padded, 0);
        Exact<float> d(dst, shiftDst);
        const FpModes modes = FpModes::now();
        b.api->qelsbIntToFloat(s.data() + offsetSrc, d.data(), n, t.size, flags);
        checkModes(modes, b, "qelsbIntToFloat");
        for (std::size_t i = 0; i < want.size(); ++i) {
            const float got = d.data()[i];
            const bool twice = b.unsigned32ToFloatTwice && t.isUnsigned && t.size == 32 && want[i] >= 2147483648.0f;
            if (bitsOf(got) != bitsOf(want[i]) && !(twice && ulpDistance(got, want[i]) <= 1))
                fail("%s qelsbIntToFloat n=%d size=%d flags=%#x: element %zu of %lld is %a, want %a", b.api->name.c_str(), n,
                     t.size, flags, i, static_cast<long long>(loadInt(&src[i * t.bytes()], t)), got, want[i]);
        }
    }
}

// ---- Transforms ------------------------------------------------------------------------

constexpr int kMaxOrder = 16;

// Flags with exactly one direction and at most one ordering bit, keeping any
// other bits of the input (they are ignored).
int validTransformFlags(std::uint32_t raw, bool complexFft) {
    int flags = static_cast<int>(raw & ~static_cast<std::uint32_t>(QEL_FFT_INIT_ONLY | QEL_FFT_RELEASE));
    const int direction = flags & (QEL_FFT_FORWARD | QEL_FFT_INVERSE);
    if (direction == 0 || direction == (QEL_FFT_FORWARD | QEL_FFT_INVERSE))
        flags = (flags & ~(QEL_FFT_FORWARD | QEL_FFT_INVERSE)) | ((raw >> 24) & 1 ? QEL_FFT_INVERSE : QEL_FFT_FORWARD);
    if (complexFft) {
        const int ordering = flags & (QEL_FFT_NATURAL_ORDER | QEL_FFT_INPUT_REVERSED | QEL_FFT_OUTPUT_REVERSED);
        if (ordering & (ordering - 1)) flags &= ~(ordering & (ordering - 1));  // keep the lowest
    }
    return flags;
}

// An order up to 12 mostly; the large ones (to 16, where the SIMD builds
// change their method) one time in eight, as they cost most.
int readOrder(Input& in) {
    const std::uint8_t pick = in.u8();
    return pick < 224 ? pick % 13 : 13 + pick % 4;
}

// An order for a release: any value at all, nothing is checked.
int releaseOrder(Input& in, int order) {
    constexpr int kOdd[] = {-1, 32, 40, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    const std::uint8_t pick = in.u8();
    return pick < 200 ? order : kOdd[pick % 5];
}

// No element or partial sum can overflow in any build, nor is any input
// non-finite: then every build's result is within the rounding bound.
bool boundedInput(const std::vector<Cd>& x) {
    double largest = 0;
    for (const Cd& v : x) {
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) return false;
        largest = std::max({largest, std::fabs(v.real()), std::fabs(v.imag())});
    }
    return largest * static_cast<double>(x.size()) * 2 < std::ldexp(1.0, 120);
}

// The rounding bound of a float FFT of order L: an rms error of a few
// eps*L relative to the result's norm (each of the L stages adds about one
// rounding of each value, and the twiddles are good to about an ulp), plus
// an absolute allowance for values that fell into the subnormal range.
double fftTolerance(int order, double norm, std::size_t n) {
    return 6.0 * (order + 1) * std::ldexp(1.0, -24) * norm + std::sqrt(static_cast<double>(n)) * (order + 2) * std::ldexp(1.0, -140);
}

double normOf(const std::vector<Cd>& x) {
    double s = 0;
    for (const Cd& v : x) s += std::norm(v);
    return std::sqrt(s);
}

double distance(const std::vector<SComplex>& got, const std::vector<Cd>& want) {
    double s = 0;
    for (std::size_t k = 0; k < want.size(); ++k) s += std::norm(Cd(got[k].re, got[k].im) - want[k]);
    return std::sqrt(s);
}

std::vector<Cd> toCd(const std::vector<SComplex>& x) {
    std::vector<Cd> y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) y[k] = Cd(x[k].re, x[k].im);
    return y;
}

std::size_t reverseBits(std::size_t k, int bits) {
    std::size_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((k >> b) & 1u) << (bits - 1 - b);
    return r;
}

// y[reverse(k)] = x[k] (the permutation is its own inverse).
std::vector<Cd> bitReversed(const std::vector<Cd>& x, int order) {
    std::vector<Cd> y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) y[reverseBits(k, order)] = x[k];
    return y;
}

// The reference: sum_j x[j] e^(sign 2 pi i j k / n) in double precision, by
// the textbook iterative radix-2 transform with its roots from the C
// library's sine and cosine in long double (kept per order: they cost more
// than the transform). Left out of the coverage and the sanitizers: its loops teach the fuzzer
// nothing and cost most of its time.
void butterflies(double* x, std::size_t n, const double* w, int sign);

std::vector<Cd> referenceDft(std::vector<Cd> x, int order, int sign) {
    static std::vector<double> roots[kMaxOrder + 1];  // e^(-2 pi i k / n), k < n/2, re and im
    const std::size_t n = x.size();
    std::vector<double>& w = roots[order];
    if (w.empty() && n > 1) {
        const long double twoPi = 6.283185307179586476925286766559L;
        w.resize(n);
        for (std::size_t k = 0; k < n / 2; ++k) {
            const long double t = twoPi * static_cast<long double>(k) / static_cast<long double>(n);
            w[2 * k] = static_cast<double>(std::cos(t));
            w[2 * k + 1] = -static_cast<double>(std::sin(t));
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t r = reverseBits(k, order);
        if (r > k) std::swap(x[k], x[r]);
    }
    if (n > 1) butterflies(reinterpret_cast<double*>(x.data()), n, w.data(), sign);
    return x;
}

__attribute__((no_sanitize("coverage", "address", "undefined"))) void butterflies(double* x, std::size_t n,
                                                                                  const double* w, int sign) {
    const double s = sign < 0 ? 1.0 : -1.0;
    for (std::size_t span = 1; span < n; span *= 2) {
        const std::size_t stride = n / (2 * span);
        for (std::size_t start = 0; start < n; start += 2 * span)
            for (std::size_t j = 0; j < span; ++j) {
                const double tr = w[2 * j * stride], ti = s * w[2 * j * stride + 1];
                double* a = x + 2 * (start + j);
                double* b = x + 2 * (start + j + span);
                const double br = b[0] * tr - b[1] * ti, bi = b[0] * ti + b[1] * tr;
                b[0] = a[0] - br;
                b[1] = a[1] - bi;
                a[0] += br;
                a[1] += bi;
            }
    }
}

// The same bits, or NaNs that differ only in the quiet bit.
bool sameUpToQuieting(float a, float b) {
    const std::uint32_t x = bitsOf(a), y = bitsOf(b);
    return x == y || (isNaNBits(x) && isNaNBits(y) && (x | kQuiet) == (y | kQuiet));
}

// The same transform on data at another address (4 bytes on, so another
// 16-byte alignment) gives the same bits, NaNs' signs and payloads included:
// builds that copy unaligned data through a scratch buffer must not round
// differently there, nor take the operands of a sum in another order. Only a
// signalling NaN may arrive quiet on one path (x87 moves) and not on the other
// (MMX moves).
void checkAlignmentFree(const Build& b, const char* fn, int order, int flags, const std::vector<SComplex>& got,
                        const std::vector<SComplex>& moved) {
    for (std::size_t k = 0; k < got.size(); ++k)
        if (!sameUpToQuieting(got[k].re, moved[k].re) || !sameUpToQuieting(got[k].im, moved[k].im))
            fail("%s %s order %d flags %#x: element %zu is (%a, %a), 4 bytes further on (%a, %a)", b.api->name.c_str(),
                 fn, order, flags, k, got[k].re, got[k].im, moved[k].re, moved[k].im);
}

void fuzzComplexFft(Input& in) {
    const int order = readOrder(in);
    const std::uint32_t raw = in.u32();
    const unsigned shift = in.u8();
    const std::size_t n = std::size_t{1} << order;

    if (raw & QEL_FFT_RELEASE) {
        const int releaseAt = releaseOrder(in, order);
        for (const Build& b : builds) b.api->qelcFft(nullptr, releaseAt, static_cast<int>(raw));
        return;
    }
    const std::vector<SComplex> x = complexFrom(in, n, true);
    if (raw & QEL_FFT_INIT_ONLY) {  // builds tables; the data stay as they are
        for (const Build& b : builds) {
            Exact<SComplex> s(x, shift);
            b.api->qelcFft((raw & 1) ? nullptr : s.data(), order, static_cast<int>(raw));
            if (std::memcmp(s.data(), x.data(), n * sizeof(SComplex)) != 0)
                fail("%s qelcFft order %d flags %#x (initialise only) changed the data", b.api->name.c_str(), order, raw);
        }
        return;
    }
    const int flags = validTransformFlags(raw, true);
    const bool inverse = flags & QEL_FFT_INVERSE;
    const bool inReversed = flags & QEL_FFT_INPUT_REVERSED, outReversed = flags & QEL_FFT_OUTPUT_REVERSED;

    // The reference: the natural-order input, a double-precision DFT, the
    // scaling, and the output order asked for.
    std::vector<Cd> natural = toCd(x);
    if (inReversed) natural = bitReversed(natural, order);
    const bool bounded = boundedInput(natural);
    std::vector<Cd> want;
    if (bounded) {
        want = referenceDft(natural, order, inverse ? +1 : -1);
        if (inverse && !(flags & QEL_FFT_NO_SCALE))
            for (Cd& v : want) v /= static_cast<double>(n);
        if (outReversed) want = bitReversed(want, order);
    }
    const double tolerance = bounded ? fftTolerance(order, normOf(want), n) : 0;

    std::vector<SComplex> generic;
    for (const Build& b : builds) {
        Exact<SComplex> s(x, shift);
        const FpModes modes = FpModes::now();
        b.api->qelcFft(s.data(), order, flags);
        checkModes(modes, b, "qelcFft");
        std::vector<SComplex> got = s.copy();
        if (shift & 0x80) {
            Exact<SComplex> moved(x, shift + 1);
            b.api->qelcFft(moved.data(), order, flags);
            checkAlignmentFree(b, "qelcFft", order, flags, got, moved.copy());
        }
        {
            Exact<SComplex> r(x, shift);
            b.reference.qelcFft(r.data(), order, flags);
            checkReferenceBits(b, "qelcFft", order, flags, got, r.copy());
        }
        const char* name = b.api->name.c_str();
        if (order == 0 && !(sameValue(got[0].re, x[0].re) && sameValue(got[0].im, x[0].im)))
            fail("%s qelcFft order 0 flags %#x changed the value", name, flags);
        if (order == 1) {  // x0 + x1, x0 - x1, halved by the inverse
            const float scale = inverse && !(flags & QEL_FFT_NO_SCALE) ? 0.5f : 1.0f;
            volatile float a = x[0].re, bb = x[1].re, c = x[0].im, d = x[1].im;
            const float w[4] = {(a + bb) * scale, (c + d) * scale, (a - bb) * scale, (c - d) * scale};
            const float g[4] = {got[0].re, got[0].im, got[1].re, got[1].im};
            for (int k = 0; k < 4; ++k)
                if (!sameOrBothNaN(g[k], w[k])) fail("%s qelcFft order 1 flags %#x: part %d is %a, want %a", name, flags, k, g[k], w[k]);
        }
        if (bounded) {
            const double err = distance(got, want);
            if (!(err <= tolerance))
                fail("%s qelcFft order %d flags %#x: error %g against the double-precision DFT, allowed %g", name, order,
                     flags, err, tolerance);
            if (!generic.empty() && !(distance(got, toCd(generic)) <= 2 * tolerance))
                fail("%s qelcFft order %d flags %#x: %g away from the generic build's result", name, order, flags,
                     distance(got, toCd(generic)));
        }
        if (generic.empty()) generic = std::move(got);
    }
}

void fuzzRealFft(Input& in) {
    const int order = readOrder(in);
    const std::uint32_t raw = in.u32();
    const unsigned shiftIn = in.u8(), shiftOut = in.u8();
    const std::size_t n = std::size_t{1} << order, half = n / 2 + 1;

    if (raw & QEL_FFT_RELEASE) {
        const int releaseAt = releaseOrder(in, order);
        for (const Build& b : builds) b.api->qelsRealFftNip(nullptr, nullptr, releaseAt, static_cast<int>(raw));
        return;
    }
    std::vector<float> x(n);
    fillFloats(in, x.data(), n, true);
    const std::vector<SComplex> before = complexFrom(in, half);
    if (raw & QEL_FFT_INIT_ONLY) {
        for (const Build& b : builds) {
            Exact<float> s(x, shiftIn);
            Exact<SComplex> o(before, shiftOut);
            const bool null = raw & 1;
            b.api->qelsRealFftNip(null ? nullptr : s.data(), null ? nullptr : o.data(), order, static_cast<int>(raw));
            if (std::memcmp(o.data(), before.data(), half * sizeof(SComplex)) != 0)
                fail("%s qelsRealFftNip order %d flags %#x (initialise only) wrote the output", b.api->name.c_str(), order,
                     raw);
        }
        return;
    }
    const int flags = validTransformFlags(raw, false);
    const bool inverse = flags & QEL_FFT_INVERSE;
    const bool scaled = inverse && !(flags & QEL_FFT_NO_SCALE);

    std::vector<Cd> natural(n);
    for (std::size_t j = 0; j < n; ++j) natural[j] = Cd(x[j], 0);
    const bool bounded = boundedInput(natural);
    std::vector<Cd> want;
    if (bounded) {
        want = referenceDft(natural, order, inverse ? +1 : -1);
        want.resize(half);
        if (scaled)
            for (Cd& v : want) v /= static_cast<double>(n);
    }
    const double tolerance = bounded ? fftTolerance(order, normOf(want), n) : 0;

    std::vector<SComplex> generic;
    for (const Build& b : builds) {
        Exact<float> s(x, shiftIn);
        Exact<SComplex> o(before, shiftOut);
        const FpModes modes = FpModes::now();
        b.api->qelsRealFftNip(s.data(), o.data(), order, flags);
        checkModes(modes, b, "qelsRealFftNip");
        std::vector<SComplex> got = o.copy();
        {
            Exact<float> r(x, shiftIn);
            Exact<SComplex> ro(before, shiftOut);
            b.reference.qelsRealFftNip(r.data(), ro.data(), order, flags);
            checkReferenceBits(b, "qelsRealFftNip", order, flags, got, ro.copy());
        }
        if (shiftIn & 0x80) {
            Exact<float> movedIn(x, shiftIn + 1);
            Exact<SComplex> movedOut(before, shiftOut + 1);
            b.api->qelsRealFftNip(movedIn.data(), movedOut.data(), order, flags);
            checkAlignmentFree(b, "qelsRealFftNip", order, flags, got, movedOut.copy());
        }
        const char* name = b.api->name.c_str();
        if (std::memcmp(s.data(), x.data(), n * 4) != 0) fail("%s qelsRealFftNip changed its input", name);
        // X[0] and X[n/2] are real: imaginary parts of +0.0, whatever the data.
        if (bitsOf(got[0].im) != 0 || bitsOf(got[half - 1].im) != 0)
            fail("%s qelsRealFftNip order %d flags %#x: imaginary parts %08x and %08x, want +0", name, order, flags,
                 bitsOf(got[0].im), bitsOf(got[half - 1].im));
        if (order == 0 && !sameValue(got[0].re, x[0])) fail("%s qelsRealFftNip order 0: %a, want %a", name, got[0].re, x[0]);
        if (order == 1) {
            volatile float a = x[0], c = x[1];
            const float scale = scaled ? 0.5f : 1.0f;
            const float w[2] = {(a + c) * scale, (a - c) * scale};
            for (int k = 0; k < 2; ++k)
                if (!sameOrBothNaN(got[static_cast<std::size_t>(k)].re, w[k]))
                    fail("%s qelsRealFftNip order 1 flags %#x: X[%d] is %a, want %a", name, flags, k,
                         got[static_cast<std::size_t>(k)].re, w[k]);
        }
        if (bounded) {
            const double err = distance(got, want);
            if (!(err <= tolerance))
                fail("%s qelsRealFftNip order %d flags %#x: error %g against the double-precision DFT, allowed %g", name,
                     order, flags, err, tolerance);
            if (!generic.empty() && !(distance(got, toCd(generic)) <= 2 * tolerance))
                fail("%s qelsRealFftNip order %d flags %#x: %g away from the generic build's result", name, order, flags,
                     distance(got, toCd(generic)));
        }
        if (generic.empty()) generic = std::move(got);
    }
}

}  // namespace

// A second instance of a variant, with its accelerated paths switched off:
// the library read from a copy (the loader would hand back the loaded one
// for the same file), loaded while ZENTAVOL_REFERENCE_PATHS is set, which
// the library reads once as it loads.
LibraryApi openReferenceInstance(const std::string& code) {
    char folder[] = "/tmp/zv_fuzz_reference.XXXXXX";
    if (mkdtemp(folder) == nullptr) fail("cannot make a folder for the reference instance of %s", code.c_str());
    const std::string from = zv::test::libraryPath(code);
    const std::string to = std::string(folder) + "/" + from.substr(from.find_last_of('/') + 1);
    {
        std::ifstream source(from, std::ios::binary);
        std::ofstream copy(to, std::ios::binary);
        copy << source.rdbuf();
        if (!source || !copy) fail("cannot copy %s to %s", from.c_str(), to.c_str());
    }
    setenv("ZENTAVOL_REFERENCE_PATHS", "1", 1);
    void* handle = dlopen(to.c_str(), RTLD_NOW | RTLD_LOCAL);
    unsetenv("ZENTAVOL_REFERENCE_PATHS");
    std::remove(to.c_str());  // the mapping stays
    rmdir(folder);
    if (handle == nullptr) fail("cannot load %s: %s", to.c_str(), dlerror());
    LibraryApi api;
    api.name = code;
    api.handle = handle;
#define ZV_EXPORT(ordinal, fn)                                                  \
    api.fn = reinterpret_cast<decltype(api.fn)>(dlsym(handle, #fn));           \
    if (api.fn == nullptr) fail("the copy of %s does not export %s", code.c_str(), #fn);
#include "runtime/export_list.h"
#undef ZV_EXPORT
    return api;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every variant the build made, the generic one first; one that will not load is a
    // broken build, not a finding.
    std::vector<std::string> codes = zv::test::builtVariants();
    for (std::size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == zv::test::kGenericVariant) std::swap(codes[i], codes[0]);
    if (codes.empty() || codes[0] != zv::test::kGenericVariant)
        fail("the build has no generic variant %s", zv::test::kGenericVariant);
    for (const std::string& code : codes) {
        const LibraryApi* api = zv::test::openLibrary(code);
        if (api == nullptr) fail("cannot load %s: %s", zv::test::libraryPath(code).c_str(), dlerror());
#define ZV_EXPORT(ordinal, fn) \
    if (api->fn == nullptr) fail("%s does not export %s", code.c_str(), #fn);
#include "runtime/export_list.h"
#undef ZV_EXPORT
        builds.push_back(describe(api));
        builds.back().reference = openReferenceInstance(code);
    }
    std::fprintf(stderr, "zv_fuzz: %zu variant(s):", builds.size());
    for (const Build& b : builds) std::fprintf(stderr, " %s", b.api->name.c_str());
    std::fputc('\n', stderr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    for (int calls = 0; calls < 16 && !in.empty(); ++calls) {
        switch (in.u8() % 14) {
            case 0: fuzzMalloc(in); break;
            case 1: fuzzComplexFft(in); break;
            case 2: fuzzRealFft(in); break;
            case 3: fuzzArith(in, 0); break;
            case 4: fuzzArith(in, 1); break;
            case 5: fuzzArith(in, 2); break;
            case 6: fuzzArith(in, 3); break;
            case 7: fuzzArith(in, 4); break;
            case 8: fuzzConjExtend(in); break;
            case 9: fuzzReal(in); break;
            case 10: fuzzMag(in); break;
            case 11: fuzzExtremes(in); break;
            case 12: fuzzFloatToInt(in); break;
            default: fuzzIntToFloat(in); break;
        }
    }
    return 0;
}

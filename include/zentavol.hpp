// SPDX-License-Identifier: MIT
// Zentavol for C++20, header-only, over the C interface of zentavol.h.
//
// The C functions end the process with exit code 1 at the first failed
// argument check. The calls here make the same checks in the same order
// first and throw instead, so that a C++ program never ends on a bad
// argument; an argument that passes is handed to the library unchanged.
//   std::invalid_argument  a null pointer, an order outside 0..31, bad flags,
//                          an integer width other than 8, 16 or 32, an
//                          element the library would end the process for
//                          (see sbFloatToInt and cbMag);
//   std::length_error      a count <= 0, an order above the largest the
//                          library transforms (kLargestOrder), spans that
//                          do not fit the call (too short, of different
//                          lengths, not 2^order long), a buffer above the
//                          allocator's int byte count.
// Only running out of memory while a thread builds its FFT tables still ends
// the process, as the library does (call with QEL_FFT_INIT_ONLY early to
// build them at a known point).
//
// Three layers:
//   Buffer<T>           an owning, move-only, 32-byte-aligned array from
//                       qelMalloc, freed with qelFree; a contiguous range,
//                       so it converts to std::span<T>;
//   zentavol::checked   the sixteen functions with the C signatures, checked;
//   zentavol::          span-based calls that take lengths and orders from
//                       the spans (fft, realFft, add, magnitude, ...).
// Complex data are std::complex<float>, whose layout is SComplex's.
#ifndef ZENTAVOL_HPP
#define ZENTAVOL_HPP

#include "zentavol.h"

#include <bit>
#include <climits>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace zentavol {

using Complex = std::complex<float>;

// std::complex<float> is two floats, real part first, as SComplex is.
static_assert(sizeof(Complex) == sizeof(SComplex) && alignof(Complex) == alignof(SComplex));
static_assert(std::is_standard_layout_v<SComplex> && offsetof(SComplex, re) == 0 &&
              offsetof(SComplex, im) == sizeof(float) && sizeof(SComplex) == 2 * sizeof(float));

// The largest order the library transforms; orders above it up to 31 end the
// process as out of memory before any table is built.
inline constexpr int kLargestOrder = sizeof(void*) == 8 ? 29 : 27;

inline SComplex* library(Complex* z) noexcept { return reinterpret_cast<SComplex*>(z); }
inline const SComplex* library(const Complex* z) noexcept { return reinterpret_cast<const SComplex*>(z); }
inline std::span<Complex> complexView(std::span<SComplex> z) noexcept {
    return {reinterpret_cast<Complex*>(z.data()), z.size()};
}
inline std::span<const Complex> complexView(std::span<const SComplex> z) noexcept {
    return {reinterpret_cast<const Complex*>(z.data()), z.size()};
}

namespace detail {

[[noreturn]] inline void invalid(const char* function, const char* condition) {
    throw std::invalid_argument(std::string(function) + ": " + condition);
}
[[noreturn]] inline void tooLong(const char* function, const std::string& condition) {
    throw std::length_error(std::string(function) + ": " + condition);
}

inline void checkCount(const char* function, const char* name, long long n) {
    if (n <= 0) tooLong(function, std::string(name) + "<=0");
}

// A span's length as the library's int count.
inline int countOf(const char* function, std::size_t n) {
    if (n == 0) tooLong(function, "empty span");
    if (n > static_cast<std::size_t>(INT_MAX)) tooLong(function, "more than INT_MAX elements");
    return static_cast<int>(n);
}

// The order of a span of 2^order elements.
inline int orderOf(const char* function, std::size_t n) {
    if (n == 0 || !std::has_single_bit(n)) tooLong(function, "the length is not a power of two");
    const int order = std::countr_zero(n);
    if (order > kLargestOrder) tooLong(function, "order above the largest transformed");
    return order;
}

// The conversions' rounding of a float, exact in double for every float.
inline double rounded(float x, int flags) {
    const double value = static_cast<double>(x);
    if (flags & QEL_CVT_TRUNCATE) return std::trunc(value);
    if (flags & QEL_CVT_FLOOR) return std::floor(value);
    if (flags & QEL_CVT_CEIL) return std::ceil(value);
    const double below = std::floor(value);  // to nearest, ties to even
    const double fraction = value - below;
    if (fraction != 0.5) return fraction < 0.5 ? below : below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// Outside the integer type after rounding; a NaN counts as above.
inline bool outOfRange(float x, int size, int flags) {
    if (std::isnan(x)) return true;
    const bool isUnsigned = (flags & QEL_CVT_UNSIGNED) != 0;
    const double minimum = isUnsigned ? 0.0 : -std::ldexp(1.0, size - 1);
    const double maximum = isUnsigned ? std::ldexp(1.0, size) - 1.0 : std::ldexp(1.0, size - 1) - 1.0;
    const double value = rounded(x, flags);
    return value < minimum || value > maximum;
}

}  // namespace detail

// The sixteen functions with the C signatures: the C function's checks, in
// its order, throwing where it would end the process.
namespace checked {

// qelMalloc ends nothing: null for a negative count or no room. Here a null
// block is std::bad_alloc.
inline void* qelMalloc(int bytes) {
    void* block = ::qelMalloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
inline void qelFree(void* block) noexcept { ::qelFree(block); }

inline void qelcFft(SComplex* samps, int order, int flags) {
    constexpr const char* kName = "qelcFft";
    if (!(flags & QEL_FFT_RELEASE)) {
        if (order < 0) detail::invalid(kName, "order<0");
        if (order > 31) detail::invalid(kName, "order>31");
        if (order > kLargestOrder) detail::tooLong(kName, "order above the largest transformed");
        if (!(flags & QEL_FFT_INIT_ONLY)) {
            if (samps == nullptr) detail::invalid(kName, "samps==0");
            if ((flags & 1) && (flags & 2)) detail::invalid(kName, "(flags & 1) && (flags & 2)");
            if (!(flags & 1) && !(flags & 2)) detail::invalid(kName, "(flags & 1)==0 && (flags & 2)==0");
            if ((flags & 64) && (flags & 128)) detail::invalid(kName, "(flags & 64) && (flags & 128)");
            if ((flags & 64) && (flags & 32)) detail::invalid(kName, "(flags & 64) && (flags & 32)");
            if ((flags & 32) && (flags & 128)) detail::invalid(kName, "(flags & 32) && (flags & 128)");
        }
    }
    ::qelcFft(samps, order, flags);
}

inline void qelsRealFftNip(const float* inSamps, SComplex* outSamps, int order, int flags) {
    constexpr const char* kName = "qelsRealFftNip";
    if (!(flags & QEL_FFT_RELEASE)) {
        if (order < 0) detail::invalid(kName, "order<0");
        if (order > 31) detail::invalid(kName, "order>31");
        if (order > kLargestOrder) detail::tooLong(kName, "order above the largest transformed");
        if (!(flags & QEL_FFT_INIT_ONLY)) {
            if (inSamps == nullptr) detail::invalid(kName, "inSamps==0");
            if (outSamps == nullptr) detail::invalid(kName, "outSamps==0");
            if ((flags & 1) && (flags & 2)) detail::invalid(kName, "(flags & 1) && (flags & 2)");
            if (!(flags & 1) && !(flags & 2)) detail::invalid(kName, "(flags & 1)==0 && (flags & 2)==0");
        }
    }
    ::qelsRealFftNip(inSamps, outSamps, order, flags);
}

inline void qelsbSet(float value, float* dst, int n) {
    detail::checkCount("qelsbSet", "n", n);
    if (dst == nullptr) detail::invalid("qelsbSet", "dst==0");
    ::qelsbSet(value, dst, n);
}
inline void qelsbAdd1(float value, float* dst, int n) {
    detail::checkCount("qelsbAdd1", "n", n);
    if (dst == nullptr) detail::invalid("qelsbAdd1", "dst==0");
    ::qelsbAdd1(value, dst, n);
}
inline void qelsbMpy1(float value, float* dst, int n) {
    detail::checkCount("qelsbMpy1", "n", n);
    if (dst == nullptr) detail::invalid("qelsbMpy1", "dst==0");
    ::qelsbMpy1(value, dst, n);
}
inline void qelsbAdd2(const float* src, float* dst, int n) {
    detail::checkCount("qelsbAdd2", "n", n);
    if (src == nullptr) detail::invalid("qelsbAdd2", "src==0");
    if (dst == nullptr) detail::invalid("qelsbAdd2", "dst==0");
    ::qelsbAdd2(src, dst, n);
}
inline void qelsbMpy2(const float* src, float* dst, int n) {
    detail::checkCount("qelsbMpy2", "n", n);
    if (src == nullptr) detail::invalid("qelsbMpy2", "src==0");
    if (dst == nullptr) detail::invalid("qelsbMpy2", "dst==0");
    ::qelsbMpy2(src, dst, n);
}

inline void qelcbConjExtend1(SComplex* vec, int n) {
    detail::checkCount("qelcbConjExtend1", "n", n);
    if (vec == nullptr) detail::invalid("qelcbConjExtend1", "vec==0");
    ::qelcbConjExtend1(vec, n);
}
inline void qelcbReal(const SComplex* src, float* dst, int n) {
    detail::checkCount("qelcbReal", "length", n);
    if (src == nullptr) detail::invalid("qelcbReal", "src==0");
    if (dst == nullptr) detail::invalid("qelcbReal", "dst==0");
    ::qelcbReal(src, dst, n);
}

// Beyond the argument checks: a vector longer than 128 goes through the
// library's single-precision power spectrum in blocks of 128, where a NaN
// part may end the process (in some builds, by its sign bit); so any NaN
// outside the trailing n mod 128 elements of such a vector throws, before
// anything is written.
inline void qelcbMag(const SComplex* src, float* mag, int n) {
    detail::checkCount("qelcbMag", "length", n);
    if (mag == nullptr) detail::invalid("qelcbMag", "mag==0");
    if (src == nullptr) detail::invalid("qelcbMag", "src==0");
    if (n > 128) {
        const int blocked = n - n % 128;
        for (int i = 0; i < blocked; ++i)
            if (std::isnan(src[i].re) || std::isnan(src[i].im))
                detail::invalid("qelcbMag", "a NaN in a block of 128 (the power-spectrum path may end the process)");
    }
    ::qelcbMag(src, mag, n);
}

inline float qelsMax(const float* vec, int len) {
    detail::checkCount("qelsMax", "len", len);
    if (vec == nullptr) detail::invalid("qelsMax", "vec==0");
    return ::qelsMax(vec, len);
}
inline float qelsMin(const float* vec, int len) {
    detail::checkCount("qelsMin", "len", len);
    if (vec == nullptr) detail::invalid("qelsMin", "vec==0");
    return ::qelsMin(vec, len);
}

// Beyond the argument checks: with QEL_CVT_REPORT an element outside the
// type after rounding (a NaN counts as above) throws, and nothing is written
// (the C function converts the elements before it and ends the process).
inline void qelsbFloatToInt(const float* src, void* dst, int len, int size, int flags) {
    constexpr const char* kName = "qelsbFloatToInt";
    detail::checkCount(kName, "len", len);
    if (src == nullptr) detail::invalid(kName, "src==0");
    if (dst == nullptr) detail::invalid(kName, "dst==0");
    if (size != 8 && size != 16 && size != 32) detail::invalid(kName, "Invalid size of an integer");
    constexpr unsigned kRoundings = QEL_CVT_NEAREST | QEL_CVT_TRUNCATE | QEL_CVT_FLOOR | QEL_CVT_CEIL;
    if (std::popcount(static_cast<unsigned>(flags) & kRoundings) != 1) detail::invalid(kName, "Invalid conversion flag");
    if (flags & QEL_CVT_REPORT) {
        for (int i = 0; i < len; ++i)
            if (detail::outOfRange(src[i], size, flags))
                throw std::invalid_argument(std::string(kName) + ": element " + std::to_string(i) +
                                            " is outside the integer type after rounding");
        flags &= ~QEL_CVT_REPORT;  // none to report
    }
    ::qelsbFloatToInt(src, dst, len, size, flags);
}

inline void qelsbIntToFloat(const void* src, float* dst, int len, int size, int flags) {
    constexpr const char* kName = "qelsbIntToFloat";
    detail::checkCount(kName, "len", len);
    if (src == nullptr) detail::invalid(kName, "src==0");
    if (dst == nullptr) detail::invalid(kName, "dst==0");
    if (size != 8 && size != 16 && size != 32) detail::invalid(kName, "Invalid size of an integer");
    if (flags != 0 && flags != QEL_CVT_UNSIGNED) detail::invalid(kName, "Invalid conversion flag");
    ::qelsbIntToFloat(src, dst, len, size, flags);
}

}  // namespace checked

// An owning array of `size()` elements in one block from qelMalloc (32-byte
// aligned), value-initialised, freed with qelFree. Move-only; a moved-from
// buffer is empty. A contiguous range: std::span<T> s = buffer;
template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "the library's blocks hold plain numbers");

public:
    Buffer() noexcept = default;
    explicit Buffer(std::size_t count) : data_(allocate(count)), size_(count) {}
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    Buffer(Buffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    Buffer& operator=(Buffer&& other) noexcept {
        if (this != &other) {
            ::qelFree(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~Buffer() { ::qelFree(data_); }

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }

private:
    static T* allocate(std::size_t count) {
        if (count == 0) return nullptr;
        if (count > static_cast<std::size_t>(INT_MAX) / sizeof(T))
            throw std::length_error("zentavol::Buffer: more bytes than qelMalloc's int count");
        T* block = static_cast<T*>(checked::qelMalloc(static_cast<int>(count * sizeof(T))));
        std::uninitialized_value_construct_n(block, count);
        return block;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
};

// ---- Span-based calls: lengths and orders from the spans ----

// In-place complex FFT of data.size() = 2^order values; flags as qelcFft's
// (direction, QEL_FFT_NO_SCALE, the ordering flags).
inline void fft(std::span<Complex> data, int flags) {
    checked::qelcFft(library(data.data()), detail::orderOf("zentavol::fft", data.size()), flags);
}

// Real FFT of in.size() = 2^order samples into the in.size()/2 + 1 values of
// `out`, which must not overlap `in`.
inline void realFft(std::span<const float> in, std::span<Complex> out, int flags) {
    const int order = detail::orderOf("zentavol::realFft", in.size());
    if (out.size() < in.size() / 2 + 1) detail::tooLong("zentavol::realFft", "out shorter than n/2 + 1");
    checked::qelsRealFftNip(in.data(), library(out.data()), order, flags);
}

inline void set(float value, std::span<float> dst) {
    checked::qelsbSet(value, dst.data(), detail::countOf("zentavol::set", dst.size()));
}
inline void add(float value, std::span<float> dst) {
    checked::qelsbAdd1(value, dst.data(), detail::countOf("zentavol::add", dst.size()));
}
inline void multiply(float value, std::span<float> dst) {
    checked::qelsbMpy1(value, dst.data(), detail::countOf("zentavol::multiply", dst.size()));
}
// dst[i] += src[i]; the spans have one length.
inline void add(std::span<const float> src, std::span<float> dst) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::add", "spans of different lengths");
    checked::qelsbAdd2(src.data(), dst.data(), detail::countOf("zentavol::add", dst.size()));
}
inline void multiply(std::span<const float> src, std::span<float> dst) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::multiply", "spans of different lengths");
    checked::qelsbMpy2(src.data(), dst.data(), detail::countOf("zentavol::multiply", dst.size()));
}

// Completes the spectrum whose first n points `spectrum` holds: it needs
// room for 2n - 2 points (n for n = 1).
inline void conjExtend(std::span<Complex> spectrum, std::size_t n) {
    const int count = detail::countOf("zentavol::conjExtend", n);
    if (spectrum.size() < (n < 2 ? n : 2 * n - 2)) detail::tooLong("zentavol::conjExtend", "no room for 2n - 2 points");
    checked::qelcbConjExtend1(library(spectrum.data()), count);
}

inline void real(std::span<const Complex> src, std::span<float> dst) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::real", "spans of different lengths");
    checked::qelcbReal(library(src.data()), dst.data(), detail::countOf("zentavol::real", src.size()));
}
inline void magnitude(std::span<const Complex> src, std::span<float> dst) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::magnitude", "spans of different lengths");
    checked::qelcbMag(library(src.data()), dst.data(), detail::countOf("zentavol::magnitude", src.size()));
}

inline float max(std::span<const float> vec) {
    return checked::qelsMax(vec.data(), detail::countOf("zentavol::max", vec.size()));
}
inline float min(std::span<const float> vec) {
    return checked::qelsMin(vec.data(), detail::countOf("zentavol::min", vec.size()));
}

template <class Int>
concept LibraryInteger = std::is_same_v<Int, std::int8_t> || std::is_same_v<Int, std::uint8_t> ||
                         std::is_same_v<Int, std::int16_t> || std::is_same_v<Int, std::uint16_t> ||
                         std::is_same_v<Int, std::int32_t> || std::is_same_v<Int, std::uint32_t>;

// The width and signedness come from Int; flags: one rounding flag, with
// QEL_CVT_SATURATE and QEL_CVT_REPORT as the C function takes them
// (QEL_CVT_UNSIGNED is added for an unsigned Int, refused for a signed one).
template <LibraryInteger Int>
void floatToInt(std::span<const float> src, std::span<Int> dst, int flags) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::floatToInt", "spans of different lengths");
    if ((flags & QEL_CVT_UNSIGNED) && std::is_signed_v<Int>)
        detail::invalid("zentavol::floatToInt", "QEL_CVT_UNSIGNED with a signed integer type");
    if (std::is_unsigned_v<Int>) flags |= QEL_CVT_UNSIGNED;
    checked::qelsbFloatToInt(src.data(), dst.data(), detail::countOf("zentavol::floatToInt", src.size()),
                             static_cast<int>(sizeof(Int) * 8), flags);
}

template <LibraryInteger Int>
void intToFloat(std::span<const Int> src, std::span<float> dst) {
    if (src.size() != dst.size()) detail::tooLong("zentavol::intToFloat", "spans of different lengths");
    checked::qelsbIntToFloat(src.data(), dst.data(), detail::countOf("zentavol::intToFloat", src.size()),
                             static_cast<int>(sizeof(Int) * 8), std::is_unsigned_v<Int> ? QEL_CVT_UNSIGNED : 0);
}

}  // namespace zentavol

#endif  // ZENTAVOL_HPP

// SPDX-License-Identifier: MIT
// The Python module zentavol: the library's functions over NumPy arrays,
// through the front library libZentavol like any application. The library
// ends the process on a bad argument and on some data, so every argument is
// checked here first and a bad one raises TypeError or ValueError, and the
// data the library would report are dealt with here. Linux only.
#include <link.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "zentavol.h"

namespace py = pybind11;

namespace {

// The largest order the variants transform with 64-bit pointers; larger ones
// end the process as out of memory before any table is built.
constexpr int kLargestOrder = sizeof(void*) == 8 ? 29 : 27;

[[noreturn]] void raiseType(const std::string& text) { throw py::type_error(text); }
[[noreturn]] void raiseValue(const std::string& text) { throw py::value_error(text); }

py::module_ numpy() { return py::module_::import("numpy"); }

std::string dtypeName(const py::array& a) { return py::str(a.dtype()).cast<std::string>(); }

std::string lengthText(py::ssize_t n) { return std::to_string(static_cast<long long>(n)); }

// The element kinds a read-only argument of the given type accepts: NumPy's
// 'same_kind' casts (bools and integers become floats; complex values never
// become real ones).
enum class Element { Float, Complex };

const char* typeName(Element type) { return type == Element::Float ? "float32" : "complex64"; }

void checkLength(py::ssize_t n, const char* name) {
    if (n < 1) raiseValue(std::string(name) + " is empty; the library needs at least one element");
    if (n > INT_MAX) raiseValue(std::string(name) + " has " + lengthText(n) + " elements; the library counts them in a C int (at most " + std::to_string(INT_MAX) + ")");
}

void checkOneDimension(const py::array& a, const char* name) {
    if (a.ndim() != 1)
        raiseValue(std::string(name) + " must be one-dimensional, got " + std::to_string(a.ndim()) + " dimensions");
}

void checkKind(const py::array& a, Element type, const char* name) {
    const char kind = a.dtype().kind();
    const char* accepted = type == Element::Float ? "biuf" : "biufc";
    if (std::strchr(accepted, kind) == nullptr) {
        if (kind == 'c')
            raiseType(std::string(name) + " holds complex values (" + dtypeName(a) + "); this function takes real ones (float32)");
        raiseType(std::string(name) + " must hold numbers convertible to " + typeName(type) + ", got dtype " + dtypeName(a));
    }
}

// An argument as NumPy sees it, its kind, shape and length checked; nothing
// is copied yet, so that a transform's size is checked before a copy.
py::array argument(py::handle object, Element type, const char* name) {
    py::array a = numpy().attr("asarray")(object);
    checkKind(a, type, name);
    checkOneDimension(a, name);
    checkLength(a.shape(0), name);
    return a;
}

// An argument the library only reads, as a C-contiguous aligned array of the
// type: the caller's own array when it is one already (it is not written),
// otherwise a converted copy.
py::array readable(const py::array& a, Element type) {
    return numpy().attr("require")(a, typeName(type), py::make_tuple("C", "A"));
}
py::array readable(py::handle object, Element type, const char* name) {
    return readable(argument(object, type, name), type);
}

// A new array holding a converted copy, for functions that return their
// result in a fresh array.
py::array freshCopy(const py::array& a, Element type) {
    return numpy().attr("array")(a, py::arg("dtype") = typeName(type), py::arg("order") = "C", py::arg("copy") = true);
}
py::array freshCopy(py::handle object, Element type, const char* name) {
    return freshCopy(argument(object, type, name), type);
}

bool aligned(const void* data, std::size_t alignment) {
    return reinterpret_cast<std::uintptr_t>(data) % alignment == 0;
}

// An array the library writes (an in-place argument or out=): it is used as
// it is, so it must be exactly what the library takes.
py::array writable(py::handle object, const char* dtype, const char* name) {
    if (!py::isinstance<py::array>(object))
        raiseType(std::string(name) + " must be a NumPy array of " + dtype + ", got " +
                  py::str(py::type::of(object).attr("__name__")).cast<std::string>());
    py::array a = py::reinterpret_borrow<py::array>(object);
    if (!a.dtype().equal(numpy().attr("dtype")(dtype)))
        raiseType(std::string(name) + " must have dtype " + dtype + " (native byte order) to be written in place, got " + dtypeName(a));
    checkOneDimension(a, name);
    checkLength(a.shape(0), name);
    if (!(a.flags() & py::array::c_style)) raiseValue(std::string(name) + " must be contiguous to be written in place");
    if (!aligned(a.data(), static_cast<std::size_t>(a.itemsize() == 8 ? 4 : a.itemsize())))
        raiseValue(std::string(name) + " is not aligned for its element type");
    if (!a.writeable()) raiseValue(std::string(name) + " is read-only");
    return a;
}

// How two contiguous arrays lie in memory.
enum class Overlap { None, Same, Partial };

Overlap overlapOf(const py::array& a, const py::array& b) {
    const auto* aBegin = static_cast<const char*>(a.data());
    const auto* bBegin = static_cast<const char*>(b.data());
    const char* aEnd = aBegin + a.nbytes();
    const char* bEnd = bBegin + b.nbytes();
    if (aEnd <= bBegin || bEnd <= aBegin) return Overlap::None;
    if (aBegin == bBegin && a.nbytes() == b.nbytes()) return Overlap::Same;
    return Overlap::Partial;
}

void checkDisjoint(const py::array& out, const py::array& in, const char* outName, const char* inName) {
    if (overlapOf(out, in) != Overlap::None)
        raiseValue(std::string(outName) + " must not share memory with " + inName);
}

void checkLengthIs(const py::array& a, py::ssize_t n, const char* name) {
    if (a.shape(0) != n)
        raiseValue(std::string(name) + " has " + lengthText(a.shape(0)) + " elements, " + lengthText(n) + " needed");
}

py::array newArray(py::ssize_t n, const char* dtype) {
    return numpy().attr("zeros")(n, py::arg("dtype") = dtype);
}

// Inputs are read through data(): mutable_data() refuses read-only arrays.
float* floats(py::array& a) { return static_cast<float*>(a.mutable_data()); }
const float* readFloats(const py::array& a) { return static_cast<const float*>(a.data()); }
SComplex* complexes(py::array& a) { return static_cast<SComplex*>(a.mutable_data()); }
const SComplex* readComplexes(const py::array& a) { return static_cast<const SComplex*>(a.data()); }
int count(const py::array& a) { return static_cast<int>(a.shape(0)); }

// ---- Transforms ----

int orderOf(py::ssize_t n, const char* name) {
    if ((n & (n - 1)) != 0)
        raiseValue(std::string(name) + " has " + lengthText(n) + " elements; the transforms take a power of two");
    int order = 0;
    while ((py::ssize_t{1} << order) < n) ++order;
    if (order > kLargestOrder)
        raiseValue(std::string(name) + " has 2^" + std::to_string(order) + " elements; the largest transform is 2^" +
                   std::to_string(kLargestOrder));
    return order;
}

int orderingFlag(const std::string& ordering) {
    if (ordering == "natural") return QEL_FFT_NATURAL_ORDER;
    if (ordering == "input_reversed") return QEL_FFT_INPUT_REVERSED;
    if (ordering == "output_reversed") return QEL_FFT_OUTPUT_REVERSED;
    raiseValue("ordering must be 'natural', 'input_reversed' or 'output_reversed', got '" + ordering + "'");
}

py::array complexFft(py::handle x, bool inverse, bool scale, const std::string& ordering, bool inplace) {
    int flags = orderingFlag(ordering) | (inverse ? QEL_FFT_INVERSE : QEL_FFT_FORWARD);
    if (inverse && !scale) flags |= QEL_FFT_NO_SCALE;
    py::array data = inplace ? writable(x, "complex64", "x") : argument(x, Element::Complex, "x");
    const int order = orderOf(data.shape(0), "x");
    if (!inplace) data = freshCopy(data, Element::Complex);
    SComplex* samps = complexes(data);
    {
        py::gil_scoped_release unlocked;
        qelcFft(samps, order, flags);
    }
    return data;
}

py::array fft(py::handle x, const std::string& ordering, bool inplace) {
    return complexFft(x, false, true, ordering, inplace);
}

py::array ifft(py::handle x, bool scale, const std::string& ordering, bool inplace) {
    return complexFft(x, true, scale, ordering, inplace);
}

py::array rfft(py::handle x, bool inverse, bool scale, bool packed, py::handle outArgument) {
    int flags = inverse ? QEL_FFT_INVERSE : QEL_FFT_FORWARD;
    if (inverse && !scale) flags |= QEL_FFT_NO_SCALE;
    py::array in = argument(x, Element::Float, "x");
    const int order = orderOf(in.shape(0), "x");
    in = readable(in, Element::Float);
    const py::ssize_t bins = in.shape(0) / 2 + 1;
    py::array out;
    if (outArgument.is_none()) {
        out = newArray(bins, "complex64");
    } else {
        out = writable(outArgument, "complex64", "out");
        checkLengthIs(out, bins, "out");
        checkDisjoint(out, in, "out", "x");
    }
    const float* source = readFloats(in);
    SComplex* spectrum = complexes(out);
    {
        py::gil_scoped_release unlocked;
        qelsRealFftNip(source, spectrum, order, flags);
    }
    if (packed) return out.attr("view")("float32");
    return out;
}

// The real signal of a half spectrum: the library's conjugate extension,
// inverse complex transform and real parts in turn.
py::array irfft(py::handle spectrum, bool scale) {
    py::array half = argument(spectrum, Element::Complex, "spectrum");
    const py::ssize_t bins = half.shape(0);
    const py::ssize_t n = bins == 1 ? 1 : 2 * (bins - 1);
    if (n > (py::ssize_t{1} << kLargestOrder) || (n & (n - 1)) != 0)
        raiseValue("spectrum has " + lengthText(bins) + " values; a half spectrum has n/2 + 1 of them, n a power of two up to 2^" +
                   std::to_string(kLargestOrder));
    const int order = orderOf(n, "the signal");
    half = readable(half, Element::Complex);
    py::array full = newArray(n, "complex64");
    py::array signal = newArray(n, "float32");
    const SComplex* source = readComplexes(half);
    SComplex* work = complexes(full);
    float* result = floats(signal);
    const int flags = QEL_FFT_INVERSE | (scale ? 0 : QEL_FFT_NO_SCALE);
    {
        py::gil_scoped_release unlocked;
        std::memcpy(work, source, static_cast<std::size_t>(bins) * sizeof(SComplex));
        qelcbConjExtend1(work, static_cast<int>(bins));
        qelcFft(work, order, flags);
        qelcbReal(work, result, static_cast<int>(n));
    }
    return signal;
}

// ---- Element-wise arithmetic ----

py::array fill(py::handle dst, float value) {
    py::array out = writable(dst, "float32", "dst");
    float* data = floats(out);
    const int n = count(out);
    {
        py::gil_scoped_release unlocked;
        qelsbSet(value, data, n);
    }
    return out;
}

bool isScalar(py::handle b) { return numpy().attr("ndim")(b).cast<int>() == 0; }

float scalarValue(py::handle b) {
    py::array value = numpy().attr("asarray")(b);
    checkKind(value, Element::Float, "b");
    return value.attr("item")().cast<float>();
}

// a + b or a * b, b a number or a vector as long as a; out=a works in place.
py::array arithmetic(py::handle aArgument, py::handle bArgument, py::handle outArgument, bool multiply) {
    auto withValue = multiply ? qelsbMpy1 : qelsbAdd1;
    auto withVector = multiply ? qelsbMpy2 : qelsbAdd2;
    const bool scalar = isScalar(bArgument);
    py::array b;
    float value = 0.0f;
    if (scalar)
        value = scalarValue(bArgument);

    py::array out;
    py::array source;  // the vector operand the library reads, if any
    if (outArgument.is_none()) {
        out = freshCopy(aArgument, Element::Float, "a");
        if (!scalar) {
            b = readable(bArgument, Element::Float, "b");
            checkLengthIs(b, out.shape(0), "b");
            source = b;
        }
    } else {
        py::array a = readable(aArgument, Element::Float, "a");
        out = writable(outArgument, "float32", "out");
        checkLengthIs(out, a.shape(0), "out");
        if (!scalar) {
            b = readable(bArgument, Element::Float, "b");
            checkLengthIs(b, a.shape(0), "b");
        }
        const Overlap withA = overlapOf(out, a);
        const Overlap withB = scalar ? Overlap::None : overlapOf(out, b);
        if (withA == Overlap::Partial || withB == Overlap::Partial)
            raiseValue("out overlaps an operand without being the same memory");
        // Sums and products of two floats do not depend on the operands'
        // order, so out=b is worked as b op= a.
        if (withB == Overlap::Same && withA == Overlap::None) {
            source = a;
        } else {
            if (withA == Overlap::None) numpy().attr("copyto")(out, a);
            if (!scalar) source = b;
        }
    }
    float* data = floats(out);
    const int n = count(out);
    if (scalar) {
        py::gil_scoped_release unlocked;
        withValue(value, data, n);
    } else {
        const float* operand = readFloats(source);
        py::gil_scoped_release unlocked;
        withVector(operand, data, n);
    }
    return out;
}

// ---- Complex vectors ----

// The float result of a function of the complex vector `in`: a new array,
// or the caller's `out` checked against it.
py::array realResult(const py::array& in, py::handle outArgument) {
    if (outArgument.is_none()) return newArray(in.shape(0), "float32");
    py::array out = writable(outArgument, "float32", "out");
    checkLengthIs(out, in.shape(0), "out");
    checkDisjoint(out, in, "out", "z");
    return out;
}

py::array real(py::handle z, py::handle outArgument) {
    py::array in = readable(z, Element::Complex, "z");
    py::array out = realResult(in, outArgument);
    const SComplex* source = readComplexes(in);
    float* result = floats(out);
    const int n = count(in);
    {
        py::gil_scoped_release unlocked;
        qelcbReal(source, result, n);
    }
    return out;
}

// The library takes the magnitudes of more than 128 values through a float
// power spectrum and a square root of the build's own: there a NaN with its
// sign bit set ends the process in three builds, an overflowed square comes
// out infinite or NaN, a +NaN may come out 0, and an underflowed one loses
// its digits. So an element whose square is not a normal float, or which
// has a NaN or infinite part, is worked here as the library's short path
// works every element, and the library sees 0 in its place.
bool ownMagnitude(const SComplex& z, float& magnitude) {
    if (std::isinf(z.re) || std::isinf(z.im)) {
        magnitude = INFINITY;  // even beside a NaN, as numpy.abs
        return true;
    }
    if (std::isnan(z.re) || std::isnan(z.im)) {
        magnitude = NAN;
        return true;
    }
    const long double re = z.re;
    const long double im = z.im;
    const long double square = re * re + im * im;  // the squares exact, the sum rounded once
    const float rounded = static_cast<float>(square);
    if (!std::isinf(rounded) && (rounded >= FLT_MIN || square == 0.0L)) return false;
    magnitude = static_cast<float>(std::sqrt(square));
    return true;
}

// Values are copied into a buffer a chunk at a time, so that the library
// never reads what another thread may be writing meanwhile. A chunk is a
// multiple of 128 values and the last one keeps more than 128 of a longer
// vector, so the library splits the vector into the same blocks as in one
// call.
constexpr py::ssize_t kMagnitudeChunk = 128 * 64;

void magnitudes(const SComplex* source, float* result, py::ssize_t n) {
    std::vector<SComplex> buffer(static_cast<std::size_t>(std::min(n, 2 * kMagnitudeChunk)));
    std::vector<std::pair<py::ssize_t, float>> own;
    for (py::ssize_t start = 0; start < n;) {
        const py::ssize_t length = n - start > 2 * kMagnitudeChunk ? kMagnitudeChunk : n - start;
        std::memcpy(buffer.data(), source + start, static_cast<std::size_t>(length) * sizeof(SComplex));
        own.clear();
        for (py::ssize_t i = 0; i < length; ++i) {
            float magnitude = 0.0f;
            if (ownMagnitude(buffer[static_cast<std::size_t>(i)], magnitude)) {
                own.emplace_back(i, magnitude);
                buffer[static_cast<std::size_t>(i)] = SComplex{0.0f, 0.0f};
            }
        }
        float* chunk = result + start;
        qelcbMag(buffer.data(), chunk, static_cast<int>(length));
        for (const auto& [i, magnitude] : own) chunk[i] = magnitude;
        start += length;
    }
}

py::array magnitude(py::handle z, py::handle outArgument) {
    py::array in = readable(z, Element::Complex, "z");
    py::array out = realResult(in, outArgument);
    const SComplex* source = readComplexes(in);
    float* result = floats(out);
    const py::ssize_t n = in.shape(0);
    {
        py::gil_scoped_release unlocked;
        magnitudes(source, result, n);
    }
    return out;
}

py::array conjExtend(py::handle halfArgument, py::handle outArgument) {
    py::array half = readable(halfArgument, Element::Complex, "half");
    const py::ssize_t n = half.shape(0);
    if (n > INT_MAX / 2) raiseValue("half has " + lengthText(n) + " values; its extension would not fit a C int");
    const py::ssize_t full = n < 2 ? n : 2 * n - 2;
    py::array out;
    if (outArgument.is_none()) {
        out = newArray(full, "complex64");
        std::memcpy(out.mutable_data(), half.data(), static_cast<std::size_t>(half.nbytes()));
    } else {
        out = writable(outArgument, "complex64", "out");
        checkLengthIs(out, full, "out");
        // In place when half is the start of out; any other overlap is refused.
        if (out.data() != half.data()) {
            checkDisjoint(out, half, "out", "half (unless half is its start)");
            std::memcpy(out.mutable_data(), half.data(), static_cast<std::size_t>(half.nbytes()));
        }
    }
    SComplex* data = complexes(out);
    {
        py::gil_scoped_release unlocked;
        qelcbConjExtend1(data, static_cast<int>(n));
    }
    return out;
}

// ---- Extremes ----

float extreme(py::handle x, bool largest) {
    py::array in = readable(x, Element::Float, "x");
    const float* data = readFloats(in);
    const int n = count(in);
    py::gil_scoped_release unlocked;
    return largest ? qelsMax(data, n) : qelsMin(data, n);
}

// ---- Conversions ----

struct IntegerType {
    const char* name;
    int size;
    bool isUnsigned;
    double minimum;
    double maximum;
};

constexpr IntegerType kIntegerTypes[] = {
    {"int8", 8, false, -128.0, 127.0},
    {"uint8", 8, true, 0.0, 255.0},
    {"int16", 16, false, -32768.0, 32767.0},
    {"uint16", 16, true, 0.0, 65535.0},
    {"int32", 32, false, -2147483648.0, 2147483647.0},
    {"uint32", 32, true, 0.0, 4294967295.0},
};

// The type of a dtype by kind and width, whatever its byte order.
const IntegerType* integerTypeOf(py::handle dtype) {
    py::object given = numpy().attr("dtype")(dtype);
    const char kind = given.attr("kind").cast<char>();
    const int size = given.attr("itemsize").cast<int>() * 8;
    for (const IntegerType& type : kIntegerTypes)
        if ((kind == 'u') == type.isUnsigned && (kind == 'i' || kind == 'u') && size == type.size) return &type;
    return nullptr;
}

const char* kIntegerTypeList = "int8, uint8, int16, uint16, int32 or uint32";

int roundingFlag(const std::string& rounding) {
    if (rounding == "nearest") return QEL_CVT_NEAREST;
    if (rounding == "truncate") return QEL_CVT_TRUNCATE;
    if (rounding == "floor") return QEL_CVT_FLOOR;
    if (rounding == "ceil") return QEL_CVT_CEIL;
    raiseValue("rounding must be 'nearest', 'truncate', 'floor' or 'ceil', got '" + rounding + "'");
}

// x rounded to an integer the way the conversion does it; exact in double
// for every float.
double roundAs(double x, int rounding) {
    switch (rounding) {
        case QEL_CVT_TRUNCATE: return std::trunc(x);
        case QEL_CVT_FLOOR: return std::floor(x);
        case QEL_CVT_CEIL: return std::ceil(x);
        default: {
            const double below = std::floor(x);
            const double fraction = x - below;
            if (fraction != 0.5) return fraction < 0.5 ? below : below + 1.0;
            return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
        }
    }
}

bool outOfRange(float x, const IntegerType& type, int rounding) {
    if (std::isnan(x)) return true;  // counted as above
    const double rounded = roundAs(static_cast<double>(x), rounding);
    return rounded < type.minimum || rounded > type.maximum;
}

// The first element outside the type after rounding, or -1.
py::ssize_t firstOutOfRange(const float* data, py::ssize_t n, const IntegerType& type, int rounding) {
    for (py::ssize_t i = 0; i < n; ++i)
        if (outOfRange(data[i], type, rounding)) return i;
    return -1;
}

// An element's contents as an unsigned value of its width, and back.
std::uint32_t loadElement(const void* data, py::ssize_t i, const IntegerType& type) {
    const auto* at = static_cast<const unsigned char*>(data) + i * (type.size / 8);
    std::uint8_t byte;
    std::uint16_t half;
    std::uint32_t word;
    switch (type.size) {
        case 8: std::memcpy(&byte, at, 1); return byte;
        case 16: std::memcpy(&half, at, 2); return half;
        default: std::memcpy(&word, at, 4); return word;
    }
}

void storeElement(void* data, py::ssize_t i, const IntegerType& type, std::uint32_t value) {
    auto* at = static_cast<unsigned char*>(data) + i * (type.size / 8);
    const auto byte = static_cast<std::uint8_t>(value);
    const auto half = static_cast<std::uint16_t>(value);
    switch (type.size) {
        case 8: std::memcpy(at, &byte, 1); break;
        case 16: std::memcpy(at, &half, 2); break;
        default: std::memcpy(at, &value, 4); break;
    }
}

// The builds write out-of-range elements their own ways: without
// saturation the generic one leaves them as they were and the others write
// bits of their own, and a saturated NaN lands on either side. The module
// makes every build do what the generic one does: such elements keep their
// old contents, and a saturated NaN becomes the maximum.
void convert(const float* source, void* destination, py::ssize_t n, const IntegerType& type, int rounding, bool saturate) {
    const int flags = rounding | (type.isUnsigned ? QEL_CVT_UNSIGNED : 0) | (saturate ? QEL_CVT_SATURATE : 0);
    // the maximum's bits at the type's width, whatever its signedness
    const auto maximum = static_cast<std::uint32_t>(static_cast<long long>(type.maximum));
    std::vector<std::pair<py::ssize_t, std::uint32_t>> kept;  // index, contents to leave
    for (py::ssize_t i = 0; i < n; ++i) {
        if (saturate ? std::isnan(source[i]) : outOfRange(source[i], type, rounding))
            kept.emplace_back(i, saturate ? maximum : loadElement(destination, i, type));
    }
    qelsbFloatToInt(source, destination, static_cast<int>(n), type.size, flags);
    for (const auto& [i, contents] : kept) storeElement(destination, i, type, contents);
}

py::array floatToInt(py::handle x, py::handle dtype, const std::string& rounding, bool saturate, bool report,
                     py::handle outArgument) {
    const int roundingBit = roundingFlag(rounding);
    const IntegerType* type = nullptr;
    if (!dtype.is_none()) {
        type = integerTypeOf(dtype);
        if (type == nullptr)
            raiseType("dtype must be one of " + std::string(kIntegerTypeList) + ", got " + py::str(dtype).cast<std::string>());
    }
    py::array in = readable(x, Element::Float, "x");
    py::array out;
    if (outArgument.is_none()) {
        if (type == nullptr) raiseType("float_to_int needs dtype= or out=");
        out = newArray(in.shape(0), type->name);
    } else {
        if (!py::isinstance<py::array>(outArgument))
            raiseType("out must be a NumPy array of " + std::string(kIntegerTypeList));
        const IntegerType* outType = integerTypeOf(py::reinterpret_borrow<py::array>(outArgument).dtype());
        if (outType == nullptr || (type != nullptr && outType != type))
            raiseType("out must have dtype " + std::string(type != nullptr ? type->name : kIntegerTypeList) + ", got " +
                      dtypeName(py::reinterpret_borrow<py::array>(outArgument)));
        type = outType;
        out = writable(outArgument, type->name, "out");
        checkLengthIs(out, in.shape(0), "out");
        checkDisjoint(out, in, "out", "x");
    }
    const float* source = readFloats(in);
    void* destination = out.mutable_data();
    const int n = count(in);
    py::ssize_t bad = -1;
    {
        py::gil_scoped_release unlocked;
        // The library would end the process at an out-of-range element; it
        // is found first, and the library is never asked to report.
        if (report) bad = firstOutOfRange(source, n, *type, roundingBit);
        if (bad < 0) convert(source, destination, n, *type, roundingBit, saturate);
    }
    if (bad >= 0) {
        char value[64];
        std::snprintf(value, sizeof value, "%.9g", static_cast<double>(source[bad]));
        raiseValue("x[" + lengthText(bad) + "] = " + value + " is outside " + type->name + " after rounding (" + rounding +
                   "); nothing was converted");
    }
    return out;
}

py::array intToFloat(py::handle x, py::handle dtype, py::handle outArgument) {
    py::object np = numpy();
    py::array given = np.attr("asarray")(x);
    const IntegerType* type = nullptr;
    if (!dtype.is_none()) {
        type = integerTypeOf(dtype);
        if (type == nullptr)
            raiseType("dtype must be one of " + std::string(kIntegerTypeList) + ", got " + py::str(dtype).cast<std::string>());
    } else {
        type = integerTypeOf(given.dtype());
    }
    checkOneDimension(given, "x");
    checkLength(given.shape(0), "x");
    if (type == nullptr || integerTypeOf(given.dtype()) != type) {
        // Another integer type: converted when every value fits.
        if (std::strchr("biu", given.dtype().kind()) == nullptr)
            raiseType("x must hold integers, got dtype " + dtypeName(given));
        if (type == nullptr) type = integerTypeOf(py::str("int32"));
        py::object info = np.attr("iinfo")(type->name);
        if (np.attr("any")(np.attr("less")(given, info.attr("min"))).cast<bool>() ||
            np.attr("any")(np.attr("greater")(given, info.attr("max"))).cast<bool>())
            raiseValue(std::string("x holds values outside ") + type->name);
    }
    py::array in = np.attr("require")(given, type->name, py::make_tuple("C", "A"));
    py::array out;
    if (outArgument.is_none()) {
        out = newArray(in.shape(0), "float32");
    } else {
        out = writable(outArgument, "float32", "out");
        checkLengthIs(out, in.shape(0), "out");
        checkDisjoint(out, in, "out", "x");
    }
    const void* source = in.data();
    float* result = floats(out);
    const int n = count(in);
    {
        py::gil_scoped_release unlocked;
        qelsbIntToFloat(source, result, n, type->size, type->isUnsigned ? QEL_CVT_UNSIGNED : 0);
    }
    return out;
}

// ---- The variant ----

// The front library loads one libZentavol<code>.so; it is found among the
// process's loaded objects (the front library itself is libZentavol.so...).
int findVariant(dl_phdr_info* info, size_t, void* data) {
    const char* slash = std::strrchr(info->dlpi_name, '/');
    const char* base = slash != nullptr ? slash + 1 : info->dlpi_name;
    if (std::strncmp(base, "libZentavol", 11) != 0 || base[11] == '.' || base[11] == '\0') return 0;
    const char* dot = std::strchr(base + 11, '.');
    *static_cast<std::string*>(data) = dot != nullptr ? std::string(base + 11, dot) : std::string(base + 11);
    return 1;
}

std::string variant() {
    std::string code;
    if (dl_iterate_phdr(findVariant, &code) == 0) throw std::runtime_error("no Zentavol variant library is loaded");
    return code;
}

}  // namespace

PYBIND11_MODULE(zentavol, m) {
    numpy();  // fails the import at once when NumPy is missing
    m.doc() =
        "Zentavol, single-precision signal processing, over NumPy arrays.\n\n"
        "The front library picks the variant library for this processor when the module is\n"
        "imported; variant() tells which. Every argument is checked before the library is\n"
        "called: a bad one raises TypeError or ValueError. Inputs of another dtype (float64,\n"
        "integers, lists) are converted to float32 or complex64; arrays written in place or\n"
        "passed as out= must already be of the exact type, one-dimensional and contiguous.\n\n"
        "No data end the process either: infinities and NaNs pass through the transforms and\n"
        "the arithmetic as IEEE arithmetic makes them; magnitude() and float_to_int() check\n"
        "the data (see their help) and give the same values for awkward elements on every\n"
        "variant. max() and min() order NaNs and signed zeros the variant's way.\n"
        "Calls release the GIL; each thread keeps its own FFT tables.";
    m.attr("LARGEST_ORDER") = kLargestOrder;

    m.def("variant", &variant,
          "The code of the variant library the front library loaded for this processor\n"
          "(g1, g2, n1, n2, s1 or s2).");

    m.def("fft", &fft, py::arg("x"), py::kw_only(), py::arg("ordering") = "natural", py::arg("inplace").noconvert() = false,
          "Forward FFT of n = 2**order complex values, X[k] = sum_j x[j] exp(-2 pi i j k / n).\n\n"
          "ordering: 'natural' (input and output in natural order), 'input_reversed' (input in\n"
          "bit-reversed order) or 'output_reversed' (output left in bit-reversed order).\n"
          "inplace=True transforms x itself (a contiguous complex64 array) and returns it;\n"
          "otherwise x is left as it is and a new complex64 array is returned.");
    m.def("ifft", &ifft, py::arg("x"), py::kw_only(), py::arg("scale").noconvert() = true, py::arg("ordering") = "natural",
          py::arg("inplace").noconvert() = false,
          "Inverse FFT, exponent +2 pi i j k / n, divided by n unless scale=False.\n\n"
          "ordering and inplace as for fft(); fft(x, ordering='output_reversed') followed by\n"
          "ifft(..., ordering='input_reversed') returns x with no permutation at all.");
    m.def("rfft", &rfft, py::arg("x"), py::kw_only(), py::arg("inverse").noconvert() = false, py::arg("scale").noconvert() = true,
          py::arg("packed").noconvert() = false, py::arg("out") = py::none(),
          "FFT of n = 2**order real samples: X[0..n/2], the n/2 + 1 values of the half spectrum\n"
          "(as numpy.fft.rfft, in complex64). X[0] and X[n/2] have imaginary part +0.0.\n\n"
          "inverse=True computes the same real-input transform with exponent +, divided by n\n"
          "unless scale=False (the conjugate of rfft(x) / n). packed=True returns the library's\n"
          "own layout, n + 2 float32 values re, im, re, im, ... (a view of the same result).\n"
          "out: a complex64 array of n/2 + 1 values to write, not sharing memory with x.");
    m.def("irfft", &irfft, py::arg("spectrum"), py::kw_only(), py::arg("scale").noconvert() = true,
          "The n real samples of a half spectrum of n/2 + 1 values (n a power of two), as\n"
          "numpy.fft.irfft: the conjugate extension, the inverse FFT (divided by n unless\n"
          "scale=False) and its real parts.");

    m.def("fill", &fill, py::arg("dst"), py::arg("value"),
          "Sets every element of dst (a contiguous float32 array) to value, in place, bit for bit\n"
          "(-0.0 and NaN payloads kept); returns dst.");
    m.def(
        "add", [](py::handle a, py::handle b, py::handle out) { return arithmetic(a, b, out, false); }, py::arg("a"),
        py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
        "a + b in float32, b a number or a vector as long as a, each sum correctly rounded.\n\n"
        "Returns a new array, or writes out (a contiguous float32 array; out=a works in place,\n"
        "out=b too; out may not partly overlap a or b).");
    m.def(
        "multiply", [](py::handle a, py::handle b, py::handle out) { return arithmetic(a, b, out, true); },
        py::arg("a"), py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
        "a * b in float32, b a number or a vector as long as a, each product correctly rounded.\n\n"
        "out as for add().");

    m.def("magnitude", &magnitude, py::arg("z"), py::kw_only(), py::arg("out") = py::none(),
          "|z| of each complex value, float32, as numpy.abs: the magnitude rounded to float32\n"
          "(infinite only beyond the float32 range), +inf where a part is infinite (even beside\n"
          "a NaN), otherwise NaN where a part is NaN.\n\n"
          "Checks the data: elements whose squared magnitude is not a normal float32 (a NaN or\n"
          "infinite part, |z| above about 1.8e19 or below about 1.1e-19) are worked by the module,\n"
          "which the library's single-precision power spectrum for vectors longer than 128 would\n"
          "turn infinite, NaN or 0, or end the process for; they come out the same on every\n"
          "variant, and z is never changed. The others come from the library (within two units\n"
          "in the last place; the SIMD and MMX builds may differ in the last place).\n"
          "out: a float32 array as long as z, not sharing memory with it.");
    m.def("real", &real, py::arg("z"), py::kw_only(), py::arg("out") = py::none(),
          "The real parts of z, bit for bit, float32. out as for magnitude().");
    m.def("conj_extend", &conjExtend, py::arg("half"), py::kw_only(), py::arg("out") = py::none(),
          "The full spectrum of N = 2n - 2 points from its first n points (what rfft returns):\n"
          "X[N - k] = conj(X[k]). Returns a new complex64 array, or fills out (N values; in place\n"
          "when half is out[:n]). n = 1 and n = 2 add nothing.");

    m.def(
        "max", [](py::handle x) { return extreme(x, true); }, py::arg("x"),
        "The largest element, the first of equal ones. NaNs are skipped (but a NaN first is\n"
        "returned); the SIMD and MMX builds order NaNs and signed zeros their own way.");
    m.def(
        "min", [](py::handle x) { return extreme(x, false); }, py::arg("x"),
        "The smallest element, the first of equal ones. The scan restarts after each NaN (a NaN\n"
        "last gives NaN); the SIMD and MMX builds order NaNs and signed zeros their own way.");

    m.def("float_to_int", &floatToInt, py::arg("x"), py::arg("dtype") = py::none(), py::kw_only(),
          py::arg("rounding") = "nearest", py::arg("saturate").noconvert() = false, py::arg("report").noconvert() = false,
          py::arg("out") = py::none(),
          "Floats to integers of dtype int8, uint8, int16, uint16, int32 or uint32.\n\n"
          "rounding: 'nearest' (ties to even), 'truncate', 'floor' or 'ceil'; the processor's\n"
          "rounding mode is not used. An element outside the type after rounding (NaN counts as\n"
          "above) becomes the type's minimum or maximum with saturate=True; with report=True it\n"
          "raises ValueError naming the first one before anything is written; with neither, the\n"
          "element of out is left as it was (0 in a new array).\n\n"
          "Checks the data: the module finds the out-of-range elements itself (the library would\n"
          "end the process at one with report, and the builds write their own values there\n"
          "otherwise), so every variant gives the same integers.\n"
          "out: an integer array to write (its dtype is the type), not sharing memory with x.");
    m.def("int_to_float", &intToFloat, py::arg("x"), py::kw_only(), py::arg("dtype") = py::none(),
          py::arg("out") = py::none(),
          "Integers to float32, each to the nearest float (exact up to 2**24).\n\n"
          "x of dtype int8, uint8, int16, uint16, int32 or uint32 is read as it is; other integers\n"
          "(Python ints, int64) are converted to dtype (int32 by default) when every value fits.\n"
          "out: a float32 array as long as x, not sharing memory with it.");
}

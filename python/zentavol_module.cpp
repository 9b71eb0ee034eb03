// SPDX-License-Identifier: MIT
// The Python module zentavol: the library's functions over NumPy arrays,
// through the front library libZentavol like any application. The library
// ends the process on a bad argument and on some data, so every argument is
// checked here first and a bad one raises TypeError or ValueError, and the
// data the library would report are dealt with here. Linux only.
#include <link.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "front/tables.h"
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

bool aligned(const void* data, std::size_t alignment) {
    return reinterpret_cast<std::uintptr_t>(data) % alignment == 0;
}

std::vector<py::ssize_t> shapeOf(const py::array& a) { return {a.shape(), a.shape() + a.ndim()}; }

// A shape as Python writes it: (3,), (2, 4).
std::string shapeText(const std::vector<py::ssize_t>& shape) {
    std::string text = "(";
    for (std::size_t k = 0; k < shape.size(); ++k) text += (k > 0 ? ", " : "") + lengthText(shape[k]);
    return text + (shape.size() == 1 ? ",)" : ")");
}
std::string shapeText(const py::array& a) { return shapeText(shapeOf(a)); }

// An array the library writes (an in-place argument or out=), of any number
// of dimensions: it is used as it is, so it must be exactly what the library
// takes.
py::array writableArray(py::handle object, const char* dtype, const char* name) {
    if (!py::isinstance<py::array>(object))
        raiseType(std::string(name) + " must be a NumPy array of " + dtype + ", got " +
                  py::str(py::type::of(object).attr("__name__")).cast<std::string>());
    py::array a = py::reinterpret_borrow<py::array>(object);
    if (!a.dtype().equal(numpy().attr("dtype")(dtype)))
        raiseType(std::string(name) + " must have dtype " + dtype + " (native byte order) to be written in place, got " + dtypeName(a));
    if (a.ndim() == 0) raiseValue(std::string(name) + " is a scalar; an array is needed");
    if (a.size() == 0) raiseValue(std::string(name) + " is empty; the library needs at least one element");
    if (!(a.flags() & py::array::c_style)) raiseValue(std::string(name) + " must be contiguous to be written in place");
    if (!aligned(a.data(), static_cast<std::size_t>(a.itemsize() == 8 ? 4 : a.itemsize())))
        raiseValue(std::string(name) + " is not aligned for its element type");
    if (!a.writeable()) raiseValue(std::string(name) + " is read-only");
    return a;
}

// The same, one-dimensional, for the functions that take vectors only.
py::array writable(py::handle object, const char* dtype, const char* name) {
    py::array a = writableArray(object, dtype, name);
    checkOneDimension(a, name);
    checkLength(a.shape(0), name);
    return a;
}

void checkShapeIs(const py::array& a, const std::vector<py::ssize_t>& shape, const char* name) {
    const bool same = a.ndim() == static_cast<py::ssize_t>(shape.size()) &&
                      std::equal(shape.begin(), shape.end(), a.shape());
    if (!same) raiseValue(std::string(name) + " has shape " + shapeText(a) + ", " + shapeText(shape) + " needed");
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
py::array newArray(const std::vector<py::ssize_t>& shape, const char* dtype) {
    return numpy().attr("zeros")(py::tuple(py::cast(shape)), py::arg("dtype") = dtype);
}

// Inputs are read through data(): mutable_data() refuses read-only arrays.
float* floats(py::array& a) { return static_cast<float*>(a.mutable_data()); }
const float* readFloats(const py::array& a) { return static_cast<const float*>(a.data()); }
SComplex* complexes(py::array& a) { return static_cast<SComplex*>(a.mutable_data()); }
const SComplex* readComplexes(const py::array& a) { return static_cast<const SComplex*>(a.data()); }
int count(const py::array& a) { return static_cast<int>(a.shape(0)); }

// ---- Batches: lanes along an axis, spread over threads ----

// An argument of any number of dimensions (at least one), its kind checked
// and not empty; nothing is copied yet.
py::array arrayArgument(py::handle object, Element type, const char* name) {
    py::array a = numpy().attr("asarray")(object);
    checkKind(a, type, name);
    if (a.ndim() == 0) raiseValue(std::string(name) + " is a scalar; this function takes an array");
    if (a.size() == 0) raiseValue(std::string(name) + " is empty; the library needs at least one element");
    return a;
}

// The axis as an index in 0..ndim-1; negative ones count from the end.
int axisOf(py::handle axis, const py::array& a, const char* name) {
    if (py::isinstance<py::bool_>(axis) || !PyIndex_Check(axis.ptr()))
        raiseType("axis must be an integer, got " + py::str(py::type::of(axis).attr("__name__")).cast<std::string>());
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(axis.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long k = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    const long long ndim = a.ndim();
    if (overflow != 0 || k < -ndim || k >= ndim)
        raiseValue("axis " + py::str(index).cast<std::string>() + " is out of range for " + name + " of " +
                   std::to_string(ndim) + " dimension" + (ndim == 1 ? "" : "s"));
    return static_cast<int>(k < 0 ? k + ndim : k);
}

// The threads a batch may use: None and 1 mean the calling thread alone, a
// negative count wraps around from the number of processors as -1 (all of
// them).
constexpr int kMostWorkers = 256;

int workersOf(py::handle workers) {
    if (workers.is_none()) return 1;
    if (py::isinstance<py::bool_>(workers) || !PyIndex_Check(workers.ptr()))
        raiseType("workers must be an integer, got " + py::str(py::type::of(workers).attr("__name__")).cast<std::string>());
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(workers.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    long long count = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    const long long processors = std::max(1u, std::thread::hardware_concurrency());
    if (overflow == 0 && count < 0) count += processors + 1;
    if (overflow != 0 || count < 1)
        raiseValue("workers must be a positive count, or -1 .. -" + std::to_string(processors) +
                   " counting back from the " + std::to_string(processors) + " processors, got " +
                   py::str(index).cast<std::string>());
    return static_cast<int>(std::min<long long>(count, kMostWorkers));
}

// A C-contiguous array seen along one axis: `outer` blocks, each of `inner`
// lanes side by side; the k-th element of a lane of length m lies
// `inner` elements after the (k-1)-th. Input and output lanes of a transform
// differ in length only.
struct Lanes {
    py::ssize_t outer = 1;
    py::ssize_t inner = 1;

    py::ssize_t count() const { return outer * inner; }
    bool contiguous() const { return inner == 1; }
    py::ssize_t start(py::ssize_t lane, py::ssize_t length) const {
        return (lane / inner) * length * inner + lane % inner;
    }
};

Lanes lanesOf(const py::array& a, int axis) {
    Lanes lanes;
    for (int k = 0; k < axis; ++k) lanes.outer *= a.shape(k);
    for (py::ssize_t k = axis + 1; k < a.ndim(); ++k) lanes.inner *= a.shape(k);
    return lanes;
}

template <class T>
void gather(const T* base, const Lanes& lanes, py::ssize_t lane, py::ssize_t length, T* buffer) {
    const T* from = base + lanes.start(lane, length);
    for (py::ssize_t k = 0; k < length; ++k) buffer[k] = from[k * lanes.inner];
}

template <class T>
void scatter(const T* buffer, const Lanes& lanes, py::ssize_t lane, py::ssize_t length, T* base) {
    T* to = base + lanes.start(lane, length);
    for (py::ssize_t k = 0; k < length; ++k) to[k * lanes.inner] = buffer[k];
}

// A 32-byte aligned buffer: a lane is worked at the same alignment whichever
// thread works it. Allocated before the threads start, so that a failure is
// a MemoryError rather than the end of the process.
struct AlignedDeleter {
    void operator()(void* block) const { ::operator delete(block, std::align_val_t{32}); }
};
using AlignedBuffer = std::unique_ptr<void, AlignedDeleter>;

AlignedBuffer alignedBuffer(std::size_t bytes) {
    return AlignedBuffer(bytes == 0 ? nullptr : ::operator new(bytes, std::align_val_t{32}));
}

// What one thread works with: up to two lane buffers.
struct Scratch {
    AlignedBuffer first;
    AlignedBuffer second;
    AlignedBuffer third;
    std::vector<std::pair<py::ssize_t, float>> own;  // magnitudes worked here (capacity reserved)
    template <class T>
    T* at(const AlignedBuffer& buffer) const {
        return static_cast<T*>(buffer.get());
    }
};

// Runs work(begin, end, scratch) over lanes 0..count-1 in `workers`
// contiguous runs, the calling thread taking the last; the GIL is released.
// Each lane is worked the same way whichever thread takes it, so the result
// does not depend on the number of workers.
template <class Prepare, class Work>
void spread(py::ssize_t count, int workers, const Prepare& prepare, const Work& work) {
    const auto threads = static_cast<int>(std::min<py::ssize_t>(workers, count));
    std::vector<Scratch> scratch(static_cast<std::size_t>(std::max(threads, 1)));
    for (Scratch& each : scratch) prepare(each);
    py::gil_scoped_release unlocked;
    if (threads <= 1) {
        work(py::ssize_t{0}, count, scratch[0]);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads));
    py::ssize_t begin = 0;
    for (int t = 0; t < threads; ++t) {
        const py::ssize_t end = count / threads * (t + 1) + std::min<py::ssize_t>(count % threads, t + 1);
        Scratch& mine = scratch[static_cast<std::size_t>(t)];
        bool started = false;
        if (t + 1 < threads) {
            try {
                pool.emplace_back([&work, begin, end, &mine] { work(begin, end, mine); });
                started = true;
            } catch (const std::system_error&) {
                // no thread to be had: this run on the calling thread
            }
        }
        if (!started) work(begin, end, mine);
        begin = end;
    }
    for (std::thread& thread : pool) thread.join();
}

// ---- Transforms ----

int orderOf(py::ssize_t n, const std::string& name) {
    if ((n & (n - 1)) != 0)
        raiseValue(name + " has " + lengthText(n) + " elements; the transforms take a power of two");
    int order = 0;
    while ((py::ssize_t{1} << order) < n) ++order;
    if (order > kLargestOrder)
        raiseValue(name + " has 2^" + std::to_string(order) + " elements; the largest transform is 2^" +
                   std::to_string(kLargestOrder));
    return order;
}

std::string alongAxis(const char* name, const py::array& a, int axis) {
    return a.ndim() == 1 ? std::string(name) : std::string(name) + " along axis " + std::to_string(axis);
}

int orderingFlag(const std::string& ordering) {
    if (ordering == "natural") return QEL_FFT_NATURAL_ORDER;
    if (ordering == "input_reversed") return QEL_FFT_INPUT_REVERSED;
    if (ordering == "output_reversed") return QEL_FFT_OUTPUT_REVERSED;
    raiseValue("ordering must be 'natural', 'input_reversed' or 'output_reversed', got '" + ordering + "'");
}

// The factor a transform's result is multiplied by: 1, 1/sqrt(n) or 1/n.
enum class Scaling { None, Root, Full };

// norm= as numpy.fft takes it ("backward": the inverse divided by n,
// "ortho": both directions by sqrt(n), "forward": the forward one by n),
// together with the library's own scale= of the inverse transforms
// (True: divided by n, as "backward"; False: not at all, as "forward").
// Either may be left out; given both, they must say the same.
Scaling scalingOf(bool inverse, py::handle scale, py::handle norm) {
    if (!scale.is_none() && !py::isinstance<py::bool_>(scale))
        raiseType("scale must be True or False, got " + py::str(py::type::of(scale).attr("__name__")).cast<std::string>());
    std::string given = "backward";
    if (!norm.is_none()) {
        if (!py::isinstance<py::str>(norm))
            raiseValue("norm must be None, 'backward', 'ortho' or 'forward', got " + py::repr(norm).cast<std::string>());
        given = norm.cast<std::string>();
        if (given != "backward" && given != "ortho" && given != "forward")
            raiseValue("norm must be None, 'backward', 'ortho' or 'forward', got '" + given + "'");
    }
    if (!inverse) return given == "backward" ? Scaling::None : given == "ortho" ? Scaling::Root : Scaling::Full;
    if (!scale.is_none()) {
        const bool divided = scale.cast<bool>();
        if (!norm.is_none() && (given == "ortho" || divided != (given == "backward")))
            raiseValue("scale=" + std::string(divided ? "True" : "False") + " contradicts norm='" + given +
                       "' (scale=True is norm='backward', scale=False is norm='forward')");
        return divided ? Scaling::Full : Scaling::None;
    }
    return given == "backward" ? Scaling::Full : given == "ortho" ? Scaling::Root : Scaling::None;
}

float factorOf(Scaling scaling, py::ssize_t n) {
    const double points = static_cast<double>(n);
    return static_cast<float>(scaling == Scaling::Root ? 1.0 / std::sqrt(points) : 1.0 / points);
}

// The library divides an inverse transform by n itself; any other factor is
// applied to the result by the library's multiplication.
struct ScaleStep {
    int flags = 0;         // QEL_FFT_NO_SCALE where the library is not to divide
    bool multiply = false;
    float factor = 1.0f;
};

ScaleStep scaleStepOf(bool inverse, Scaling scaling, py::ssize_t n) {
    ScaleStep step;
    if (inverse && scaling != Scaling::Full) step.flags = QEL_FFT_NO_SCALE;
    step.multiply = inverse ? scaling == Scaling::Root : scaling != Scaling::None;
    if (step.multiply) step.factor = factorOf(scaling, n);
    return step;
}

void applyScale(const ScaleStep& step, float* values, py::ssize_t count) {
    if (step.multiply) qelsbMpy1(step.factor, values, static_cast<int>(count));
}

py::array complexFft(py::handle x, bool inverse, py::handle scale, py::handle norm, const std::string& ordering,
                     bool inplace, py::handle axisArgument, py::handle workersArgument) {
    const Scaling scaling = scalingOf(inverse, scale, norm);
    const int direction = orderingFlag(ordering) | (inverse ? QEL_FFT_INVERSE : QEL_FFT_FORWARD);
    const int workers = workersOf(workersArgument);
    py::array data = inplace ? writableArray(x, "complex64", "x") : arrayArgument(x, Element::Complex, "x");
    const int axis = axisOf(axisArgument, data, "x");
    const py::ssize_t n = data.shape(axis);
    const int order = orderOf(n, alongAxis("x", data, axis));
    if (!inplace) data = freshCopy(data, Element::Complex);
    const ScaleStep step = scaleStepOf(inverse, scaling, n);
    const int flags = direction | step.flags;
    const Lanes lanes = lanesOf(data, axis);
    SComplex* base = complexes(data);
    spread(
        lanes.count(), workers,
        [&](Scratch& scratch) {
            if (!lanes.contiguous()) scratch.first = alignedBuffer(static_cast<std::size_t>(n) * sizeof(SComplex));
        },
        [&](py::ssize_t begin, py::ssize_t end, Scratch& scratch) {
            for (py::ssize_t lane = begin; lane < end; ++lane) {
                SComplex* samps = lanes.contiguous() ? base + lane * n : scratch.at<SComplex>(scratch.first);
                if (!lanes.contiguous()) gather(base, lanes, lane, n, samps);
                qelcFft(samps, order, flags);
                applyScale(step, &samps[0].re, 2 * n);
                if (!lanes.contiguous()) scatter(samps, lanes, lane, n, base);
            }
        });
    return data;
}

// The library's packed layout, re, im, re, im, ... along the axis, of a
// C-contiguous complex result: a view when the axis is the last one.
py::array packedLayout(const py::array& spectrum, int axis) {
    py::object np = numpy();
    if (axis == spectrum.ndim() - 1) return spectrum.attr("view")("float32");
    py::object last = np.attr("ascontiguousarray")(np.attr("moveaxis")(spectrum, axis, -1)).attr("view")("float32");
    return np.attr("ascontiguousarray")(np.attr("moveaxis")(last, -1, axis));
}

py::array rfft(py::handle x, py::handle axisArgument, py::handle norm, bool inverse, py::handle scale, bool packed,
               py::handle outArgument, py::handle workersArgument) {
    const Scaling scaling = scalingOf(inverse, scale, norm);
    const int workers = workersOf(workersArgument);
    py::array in = arrayArgument(x, Element::Float, "x");
    const int axis = axisOf(axisArgument, in, "x");
    const py::ssize_t n = in.shape(axis);
    const int order = orderOf(n, alongAxis("x", in, axis));
    in = readable(in, Element::Float);
    const py::ssize_t bins = n / 2 + 1;
    std::vector<py::ssize_t> shape = shapeOf(in);
    shape[static_cast<std::size_t>(axis)] = bins;
    py::array out;
    if (outArgument.is_none()) {
        out = newArray(shape, "complex64");
    } else {
        out = writableArray(outArgument, "complex64", "out");
        checkShapeIs(out, shape, "out");
        checkDisjoint(out, in, "out", "x");
    }
    const ScaleStep step = scaleStepOf(inverse, scaling, n);
    const int flags = (inverse ? QEL_FFT_INVERSE : QEL_FFT_FORWARD) | step.flags;
    const Lanes lanes = lanesOf(in, axis);
    const float* source = readFloats(in);
    SComplex* spectrum = complexes(out);
    spread(
        lanes.count(), workers,
        [&](Scratch& scratch) {
            if (lanes.contiguous()) return;
            scratch.first = alignedBuffer(static_cast<std::size_t>(n) * sizeof(float));
            scratch.second = alignedBuffer(static_cast<std::size_t>(bins) * sizeof(SComplex));
        },
        [&](py::ssize_t begin, py::ssize_t end, Scratch& scratch) {
            for (py::ssize_t lane = begin; lane < end; ++lane) {
                const float* samples = source + lane * n;
                SComplex* result = spectrum + lane * bins;
                if (!lanes.contiguous()) {
                    gather(source, lanes, lane, n, scratch.at<float>(scratch.first));
                    samples = scratch.at<float>(scratch.first);
                    result = scratch.at<SComplex>(scratch.second);
                }
                qelsRealFftNip(samples, result, order, flags);
                applyScale(step, &result[0].re, 2 * bins);
                if (!lanes.contiguous()) scatter(result, lanes, lane, bins, spectrum);
            }
        });
    if (packed) return packedLayout(out, axis);
    return out;
}

// The real signal of a half spectrum: the library's conjugate extension,
// inverse complex transform and real parts in turn.
py::array irfft(py::handle spectrum, py::handle axisArgument, py::handle norm, py::handle scale,
                py::handle workersArgument) {
    const Scaling scaling = scalingOf(true, scale, norm);
    const int workers = workersOf(workersArgument);
    py::array half = arrayArgument(spectrum, Element::Complex, "spectrum");
    const int axis = axisOf(axisArgument, half, "spectrum");
    const py::ssize_t bins = half.shape(axis);
    const py::ssize_t n = bins == 1 ? 1 : 2 * (bins - 1);
    if (n > (py::ssize_t{1} << kLargestOrder) || (n & (n - 1)) != 0)
        raiseValue(alongAxis("spectrum", half, axis) + " has " + lengthText(bins) +
                   " values; a half spectrum has n/2 + 1 of them, n a power of two up to 2^" +
                   std::to_string(kLargestOrder));
    const int order = orderOf(n, "the signal");
    half = readable(half, Element::Complex);
    std::vector<py::ssize_t> shape = shapeOf(half);
    shape[static_cast<std::size_t>(axis)] = n;
    py::array signal = newArray(shape, "float32");
    const ScaleStep step = scaleStepOf(true, scaling, n);
    const int flags = QEL_FFT_INVERSE | step.flags;
    const Lanes lanes = lanesOf(half, axis);
    const SComplex* source = readComplexes(half);
    float* result = floats(signal);
    spread(
        lanes.count(), workers,
        [&](Scratch& scratch) {
            scratch.first = alignedBuffer(static_cast<std::size_t>(n) * sizeof(SComplex));
            if (!lanes.contiguous()) scratch.second = alignedBuffer(static_cast<std::size_t>(n) * sizeof(float));
        },
        [&](py::ssize_t begin, py::ssize_t end, Scratch& scratch) {
            SComplex* work = scratch.at<SComplex>(scratch.first);
            for (py::ssize_t lane = begin; lane < end; ++lane) {
                float* samples = lanes.contiguous() ? result + lane * n : scratch.at<float>(scratch.second);
                if (lanes.contiguous())
                    std::memcpy(work, source + lane * bins, static_cast<std::size_t>(bins) * sizeof(SComplex));
                else
                    gather(source, lanes, lane, bins, work);
                qelcbConjExtend1(work, static_cast<int>(bins));
                qelcFft(work, order, flags);
                qelcbReal(work, samples, static_cast<int>(n));
                applyScale(step, samples, n);
                if (!lanes.contiguous()) scatter(samples, lanes, lane, n, result);
            }
        });
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

// a + b or a * b with NumPy's broadcasting, row by row of the result: each
// row is the library's vector form where b (or a) varies along it, and its
// number form where it repeats one value. out=a and out=b work in place.
py::array arithmetic(py::handle aArgument, py::handle bArgument, py::handle outArgument, bool multiply) {
    auto withValue = multiply ? qelsbMpy1 : qelsbAdd1;
    auto withVector = multiply ? qelsbMpy2 : qelsbAdd2;
    py::object np = numpy();
    py::array a = np.attr("asarray")(aArgument);
    py::array b = np.attr("asarray")(bArgument);
    checkKind(a, Element::Float, "a");
    checkKind(b, Element::Float, "b");
    std::vector<py::ssize_t> shape;
    try {
        shape = np.attr("broadcast_shapes")(a.attr("shape"), b.attr("shape")).cast<std::vector<py::ssize_t>>();
    } catch (const py::error_already_set& error) {
        if (!error.matches(PyExc_ValueError)) throw;
        raiseValue("a of shape " + shapeText(a) + " and b of shape " + shapeText(b) + " do not broadcast together");
    }
    const py::ssize_t rowLength = shape.empty() ? 1 : shape.back();
    py::ssize_t size = 1;
    for (py::ssize_t extent : shape) size *= extent;
    if (size == 0) raiseValue("the result is empty; the library needs at least one element");
    if (rowLength > INT_MAX)
        raiseValue("the result's rows have " + lengthText(rowLength) + " elements; the library counts them in a C int (at most " +
                   std::to_string(INT_MAX) + ")");
    py::tuple shapeTuple = py::cast(shape);

    py::array out;
    py::array source;  // the operand the library reads, the other one being in out
    if (outArgument.is_none()) {
        out = np.attr("empty")(shapeTuple, py::arg("dtype") = "float32");
        np.attr("copyto")(out, a);
        source = readable(b, Element::Float);
    } else {
        a = readable(a, Element::Float);
        b = readable(b, Element::Float);
        out = writableArray(outArgument, "float32", "out");
        checkShapeIs(out, shape, "out");
        const Overlap withA = overlapOf(out, a);
        const Overlap withB = overlapOf(out, b);
        if (withA == Overlap::Partial || withB == Overlap::Partial)
            raiseValue("out overlaps an operand without being the same memory");
        // Sums and products of two floats do not depend on the operands'
        // order, so out=b is worked as b op= a.
        if (withB == Overlap::Same && withA == Overlap::None) {
            source = a;
        } else {
            if (withA == Overlap::None) np.attr("copyto")(out, a);
            source = b;
        }
    }
    const py::array view = np.attr("broadcast_to")(source, shapeTuple);
    const auto dimensions = static_cast<std::size_t>(view.ndim());
    const std::vector<py::ssize_t> strides(view.strides(), view.strides() + dimensions);
    const bool repeated = dimensions == 0 || strides.back() == 0;
    const auto* sourceBase = static_cast<const char*>(view.data());
    float* destination = floats(out);
    const int length = static_cast<int>(rowLength);
    py::gil_scoped_release unlocked;
    // the index of the current row in every dimension but the last
    std::vector<py::ssize_t> index(dimensions > 0 ? dimensions - 1 : 0, 0);
    py::ssize_t offset = 0;
    for (py::ssize_t row = 0; row < size / rowLength; ++row) {
        const auto* operand = reinterpret_cast<const float*>(sourceBase + offset);
        float* target = destination + row * rowLength;
        if (repeated)
            withValue(*operand, target, length);
        else
            withVector(operand, target, length);
        for (std::size_t k = index.size(); k-- > 0;) {
            offset += strides[k];
            if (++index[k] < shape[k]) break;
            offset -= strides[k] * shape[k];
            index[k] = 0;
        }
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

py::ssize_t magnitudeBuffer(py::ssize_t n) { return std::min(n, 2 * kMagnitudeChunk); }

// The buffer scratch.first of magnitudeBuffer(n) values and scratch.own,
// reserved as long, are the thread's own.
void magnitudes(const SComplex* source, float* result, py::ssize_t n, Scratch& scratch) {
    SComplex* buffer = scratch.at<SComplex>(scratch.first);
    for (py::ssize_t start = 0; start < n;) {
        const py::ssize_t length = n - start > 2 * kMagnitudeChunk ? kMagnitudeChunk : n - start;
        std::memcpy(buffer, source + start, static_cast<std::size_t>(length) * sizeof(SComplex));
        scratch.own.clear();
        for (py::ssize_t i = 0; i < length; ++i) {
            float magnitude = 0.0f;
            if (ownMagnitude(buffer[i], magnitude)) {
                scratch.own.emplace_back(i, magnitude);
                buffer[i] = SComplex{0.0f, 0.0f};
            }
        }
        float* chunk = result + start;
        qelcbMag(buffer, chunk, static_cast<int>(length));
        for (const auto& [i, magnitude] : scratch.own) chunk[i] = magnitude;
        start += length;
    }
}

// |z| lane by lane along the axis: each lane is one vector of the library,
// split into its blocks of 128 from the lane's start.
py::array magnitude(py::handle z, py::handle axisArgument, py::handle outArgument, py::handle workersArgument) {
    const int workers = workersOf(workersArgument);
    py::array in = arrayArgument(z, Element::Complex, "z");
    const int axis = axisOf(axisArgument, in, "z");
    const py::ssize_t n = in.shape(axis);
    checkLength(n, alongAxis("z", in, axis).c_str());
    in = readable(in, Element::Complex);
    py::array out;
    if (outArgument.is_none()) {
        out = newArray(shapeOf(in), "float32");
    } else {
        out = writableArray(outArgument, "float32", "out");
        checkShapeIs(out, shapeOf(in), "out");
        checkDisjoint(out, in, "out", "z");
    }
    const Lanes lanes = lanesOf(in, axis);
    const SComplex* source = readComplexes(in);
    float* result = floats(out);
    spread(
        lanes.count(), workers,
        [&](Scratch& scratch) {
            const auto buffered = static_cast<std::size_t>(magnitudeBuffer(n));
            scratch.first = alignedBuffer(buffered * sizeof(SComplex));
            scratch.own.reserve(buffered);
            if (lanes.contiguous()) return;
            scratch.second = alignedBuffer(static_cast<std::size_t>(n) * sizeof(SComplex));
            scratch.third = alignedBuffer(static_cast<std::size_t>(n) * sizeof(float));
        },
        [&](py::ssize_t begin, py::ssize_t end, Scratch& scratch) {
            for (py::ssize_t lane = begin; lane < end; ++lane) {
                if (lanes.contiguous()) {
                    magnitudes(source + lane * n, result + lane * n, n, scratch);
                    continue;
                }
                gather(source, lanes, lane, n, scratch.at<SComplex>(scratch.second));
                magnitudes(scratch.at<SComplex>(scratch.second), scratch.at<float>(scratch.third), n, scratch);
                scatter(scratch.at<float>(scratch.third), lanes, lane, n, result);
            }
        });
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
        "passed as out= must already be of the exact type and C-contiguous.\n\n"
        "Shapes as NumPy's: the transforms and magnitude() take arrays of any number of\n"
        "dimensions and work along axis= (default the last), spreading the lanes over workers=\n"
        "threads; add() and multiply() broadcast. The other functions take vectors.\n\n"
        "No data end the process either: infinities and NaNs pass through the transforms and\n"
        "the arithmetic as IEEE arithmetic makes them; magnitude() and float_to_int() check\n"
        "the data (see their help) and give the same values for awkward elements on every\n"
        "variant. max() and min() order NaNs and signed zeros the variant's way.\n"
        "Calls release the GIL; each thread keeps its own FFT tables.";
    m.attr("LARGEST_ORDER") = kLargestOrder;

    // The codes of the build's rows, from the front library's table.
    static const std::string variantDoc =
        std::string("The code of the variant library the front library loaded for this processor\n(") +
        qel::front::kVariantCodeChoice + ").";
    m.def("variant", &variant, variantDoc.c_str());

    // The transforms and magnitude(): see the module's help for axis=, norm= and workers=.
    m.def(
        "fft",
        [](py::handle x, py::handle axis, py::handle norm, const std::string& ordering, bool inplace, py::handle workers) {
            return complexFft(x, false, py::none(), norm, ordering, inplace, axis, workers);
        },
        py::arg("x"), py::kw_only(), py::arg("axis") = -1, py::arg("norm") = py::none(), py::arg("ordering") = "natural",
        py::arg("inplace").noconvert() = false, py::arg("workers") = py::none(),
        "Forward FFT of n = 2**order complex values along axis, X[k] = sum_j x[j] exp(-2 pi i j k / n).\n\n"
        "x may have any number of dimensions; the result has its shape and is C-contiguous complex64,\n"
        "as numpy.fft.fft(x, axis=axis, norm=norm). norm: None or 'backward' (no factor), 'ortho'\n"
        "(divided by sqrt(n)) or 'forward' (divided by n).\n"
        "ordering: 'natural' (input and output in natural order), 'input_reversed' (input in\n"
        "bit-reversed order) or 'output_reversed' (output left in bit-reversed order).\n"
        "inplace=True transforms x itself (a C-contiguous complex64 array) and returns it;\n"
        "otherwise x is left as it is and a new array is returned.\n"
        "workers: the threads the lanes along axis are spread over (None: 1; -1: every\n"
        "processor, -2 all but one, ...; at most 256); the result is the same bit for bit.");
    m.def(
        "ifft",
        [](py::handle x, py::handle axis, py::handle norm, py::handle scale, const std::string& ordering, bool inplace,
           py::handle workers) { return complexFft(x, true, scale, norm, ordering, inplace, axis, workers); },
        py::arg("x"), py::kw_only(), py::arg("axis") = -1, py::arg("norm") = py::none(), py::arg("scale") = py::none(),
        py::arg("ordering") = "natural", py::arg("inplace").noconvert() = false, py::arg("workers") = py::none(),
        "Inverse FFT along axis, exponent +2 pi i j k / n, as numpy.fft.ifft.\n\n"
        "The factor: norm=None or 'backward' divides by n, 'ortho' by sqrt(n), 'forward' not at\n"
        "all. The library's own scale=True is norm='backward' and scale=False norm='forward';\n"
        "either may be given, and both only when they agree (ValueError otherwise).\n"
        "axis, ordering, inplace and workers as for fft(); fft(x, ordering='output_reversed')\n"
        "followed by ifft(..., ordering='input_reversed') returns x with no permutation at all.");
    m.def("rfft", &rfft, py::arg("x"), py::kw_only(), py::arg("axis") = -1, py::arg("norm") = py::none(),
          py::arg("inverse").noconvert() = false, py::arg("scale") = py::none(), py::arg("packed").noconvert() = false,
          py::arg("out") = py::none(), py::arg("workers") = py::none(),
          "FFT of n = 2**order real samples along axis: X[0..n/2], the n/2 + 1 values of the half\n"
          "spectrum (as numpy.fft.rfft, C-contiguous complex64, x's shape with n/2 + 1 along axis).\n"
          "X[0] and X[n/2] have imaginary part +0.0.\n\n"
          "norm as for fft(). inverse=True computes the same real-input transform with exponent +,\n"
          "its factor as for ifft(): divided by n (norm=None or 'backward', or scale=True),\n"
          "by sqrt(n) ('ortho') or not at all ('forward', or scale=False); scale is not used by\n"
          "the forward transform. packed=True returns the library's own layout, n + 2 float32\n"
          "values re, im, re, im, ... along axis (a view of the result when axis is the last one,\n"
          "otherwise a C-contiguous copy).\n"
          "out: a C-contiguous complex64 array of the result's shape to write, not sharing memory\n"
          "with x. workers as for fft().");
    m.def("irfft", &irfft, py::arg("spectrum"), py::kw_only(), py::arg("axis") = -1, py::arg("norm") = py::none(),
          py::arg("scale") = py::none(), py::arg("workers") = py::none(),
          "The n real samples of half spectra of n/2 + 1 values along axis (n a power of two), as\n"
          "numpy.fft.irfft: the conjugate extension, the inverse FFT and its real parts. The factor\n"
          "as for ifft() (norm=, or the library's scale=). workers as for fft().");

    m.def("fill", &fill, py::arg("dst"), py::arg("value"),
          "Sets every element of dst (a contiguous float32 array) to value, in place, bit for bit\n"
          "(-0.0 and NaN payloads kept); returns dst.");
    m.def(
        "add", [](py::handle a, py::handle b, py::handle out) { return arithmetic(a, b, out, false); }, py::arg("a"),
        py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
        "a + b in float32 with NumPy's broadcasting (any shapes that broadcast together; the\n"
        "result has the broadcast shape), each sum correctly rounded.\n\n"
        "Returns a new C-contiguous array, or writes out (a C-contiguous float32 array of the\n"
        "broadcast shape; out=a works in place, out=b too; out may not partly overlap a or b).");
    m.def(
        "multiply", [](py::handle a, py::handle b, py::handle out) { return arithmetic(a, b, out, true); },
        py::arg("a"), py::arg("b"), py::kw_only(), py::arg("out") = py::none(),
        "a * b in float32 with NumPy's broadcasting, each product correctly rounded.\n\n"
        "out as for add().");

    m.def("magnitude", &magnitude, py::arg("z"), py::kw_only(), py::arg("axis") = -1, py::arg("out") = py::none(),
          py::arg("workers") = py::none(),
          "|z| of each complex value, float32, as numpy.abs: the magnitude rounded to float32\n"
          "(infinite only beyond the float32 range), +inf where a part is infinite (even beside\n"
          "a NaN), otherwise NaN where a part is NaN.\n\n"
          "Checks the data: elements whose squared magnitude is not a normal float32 (a NaN or\n"
          "infinite part, |z| above about 1.8e19 or below about 1.1e-19) are worked by the module,\n"
          "which the library's single-precision power spectrum for vectors longer than 128 would\n"
          "turn infinite, NaN or 0, or end the process for; they come out the same on every\n"
          "variant, and z is never changed. The others come from the library (within two units\n"
          "in the last place; the SIMD and MMX builds may differ in the last place).\n"
          "z may have any number of dimensions: each lane along axis is one vector of the library\n"
          "(its blocks of 128 counted from the lane's start). workers as for fft().\n"
          "out: a C-contiguous float32 array of z's shape, not sharing memory with it.");
    m.def("real", &real, py::arg("z"), py::kw_only(), py::arg("out") = py::none(),
          "The real parts of a vector z, bit for bit, float32.\n"
          "out: a float32 array as long as z, not sharing memory with it.");
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

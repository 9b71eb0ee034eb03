# SPDX-License-Identifier: MIT
# Arrays of several dimensions: the transforms and magnitudes along every
# axis against numpy.fft and against the one-dimensional calls, norm= and
# scale= together, workers= giving the same bits whatever their number, and
# add/multiply broadcasting as NumPy does.
import itertools

import numpy as np
import pytest

import zentavol

# Error bound of a float32 FFT of n points: each of its log2(n) stages adds
# at most about two roundings (a twiddle product and a sum) of relative size
# u = 2^-24 to every value, so the error relative to the spectrum's norm
# stays below 2 u log2(n) (random data stay far below it). The bound holds
# lane by lane, and so for the norm over all lanes together. norm='ortho'
# multiplies by a rounded 1/sqrt(n): one rounding more. A transform along
# the wrong axis, or lanes mixed up, gives errors of order 1.
U = 2.0**-24


def tolerance(n, ortho=False):
    return 2 * U * max(1, int(np.log2(n))) + (U if ortho else 0)


def relative_error(got, reference):
    scale = np.linalg.norm(reference)
    return np.linalg.norm(got - reference) / (scale if scale > 0 else 1.0)


def complex_array(shape, seed=1):
    rng = np.random.default_rng(seed)
    return (rng.standard_normal(shape) + 1j * rng.standard_normal(shape)).astype(np.complex64)


def real_array(shape, seed=2):
    return np.asarray(np.random.default_rng(seed).standard_normal(shape), np.float32)


SHAPES = [(8, 16), (4, 2, 32)]
AXES = [(shape, axis) for shape in SHAPES for axis in range(-len(shape), len(shape))]
NORMS = [None, "backward", "ortho", "forward"]


def check_layout(result, shape, dtype):
    assert result.shape == shape and result.dtype == dtype and result.flags.c_contiguous


@pytest.mark.parametrize("shape, axis", AXES)
def test_complex_transforms_along_every_axis_match_numpy(shape, axis):
    x = complex_array(shape)
    kept = x.copy()
    n = shape[axis]
    for norm in NORMS:
        for name in ("fft", "ifft"):
            got = getattr(zentavol, name)(x, axis=axis, norm=norm)
            check_layout(got, shape, np.complex64)
            want = getattr(np.fft, name)(x.astype(np.complex128), axis=axis, norm=norm)
            assert relative_error(got, want) <= tolerance(n, norm == "ortho"), (name, norm)
    assert np.array_equal(x, kept)
    # in place along any axis, and a strided input along it
    work = x.copy()
    assert zentavol.fft(work, axis=axis, inplace=True) is work
    assert np.array_equal(work, zentavol.fft(x, axis=axis))
    transposed = x.T
    assert np.array_equal(zentavol.fft(transposed, axis=axis), zentavol.fft(np.ascontiguousarray(transposed), axis=axis))


@pytest.mark.parametrize("shape, axis", AXES)
def test_real_transforms_along_every_axis_match_numpy(shape, axis):
    x = real_array(shape)
    n = shape[axis]
    bins = list(shape)
    bins[axis] = n // 2 + 1
    bins = tuple(bins)
    for norm in NORMS:
        spectrum = zentavol.rfft(x, axis=axis, norm=norm)
        check_layout(spectrum, bins, np.complex64)
        reference = np.fft.rfft(x.astype(np.float64), axis=axis, norm=norm)
        assert relative_error(spectrum, reference) <= tolerance(n, norm == "ortho"), norm
        signal = zentavol.irfft(reference.astype(np.complex64), axis=axis, norm=norm)
        check_layout(signal, shape, np.float32)
        assert relative_error(signal, np.fft.irfft(reference, axis=axis, norm=norm)) <= tolerance(n, norm == "ortho")
    # the packed layout along the axis: re, im, re, im, ... of each lane
    spectrum = zentavol.rfft(x, axis=axis)
    packed = zentavol.rfft(x, axis=axis, packed=True)
    lanes = np.moveaxis(spectrum, axis, -1)
    check_layout(packed, tuple(2 * b if k == axis % len(shape) else b for k, b in enumerate(bins)), np.float32)
    assert np.array_equal(np.moveaxis(packed, axis, -1), np.stack([lanes.real, lanes.imag], -1).reshape(lanes.shape[:-1] + (-1,)))
    out = np.empty(bins, np.complex64)
    assert zentavol.rfft(x, axis=axis, out=out) is out and np.array_equal(out, spectrum)
    # the inverse real-input transform: the conjugate of the forward one over n
    reference = np.fft.rfft(x.astype(np.float64), axis=axis)
    assert relative_error(zentavol.rfft(x, axis=axis, inverse=True), np.conj(reference) / n) <= tolerance(n)


def test_each_lane_is_the_one_dimensional_call():
    # lanes of 256 and 300 values: the library's magnitudes go by blocks of
    # 128 from each lane's start, so a lane must be one vector of its own
    x = real_array((3, 256), seed=5)
    z = complex_array((300, 3), seed=6)
    assert np.array_equal(zentavol.rfft(x), np.stack([zentavol.rfft(row) for row in x]))
    assert np.array_equal(zentavol.fft(x.T, axis=0), np.stack([zentavol.fft(row) for row in x], axis=1))
    assert np.array_equal(zentavol.ifft(x, ordering="output_reversed"),
                          np.stack([zentavol.ifft(row, ordering="output_reversed") for row in x]))
    assert np.array_equal(zentavol.magnitude(z, axis=0), np.stack([zentavol.magnitude(z[:, k]) for k in range(3)], axis=1))
    out = np.empty((300, 3), np.float32)
    assert zentavol.magnitude(z, axis=0, out=out) is out
    assert np.array_equal(out, zentavol.magnitude(z, axis=0))


def test_scale_and_norm_say_the_same_or_raise():
    x = complex_array((4, 8))
    assert np.array_equal(zentavol.ifft(x, scale=True), zentavol.ifft(x, norm="backward"))
    assert np.array_equal(zentavol.ifft(x, scale=False), zentavol.ifft(x, norm="forward"))
    assert np.array_equal(zentavol.ifft(x, scale=False, norm="forward"), zentavol.ifft(x, norm="forward"))
    # an inverse without the factor is the library's unscaled one
    assert np.array_equal(zentavol.ifft(x, norm="forward")[1], zentavol.ifft(x[1], scale=False))
    # 1/n is a power of two: dividing is exact
    assert np.array_equal(zentavol.fft(x, norm="forward"), zentavol.fft(x) * np.float32(1 / 8))
    real = real_array(16)
    assert np.array_equal(zentavol.rfft(real, inverse=True, scale=False), zentavol.rfft(real, inverse=True, norm="forward"))
    for call in (lambda: zentavol.ifft(x, scale=True, norm="forward"), lambda: zentavol.ifft(x, scale=False, norm="ortho"),
                 lambda: zentavol.irfft(x, scale=False, norm="backward"),
                 lambda: zentavol.rfft(real, inverse=True, scale=True, norm="ortho")):
        with pytest.raises(ValueError, match="contradicts"):
            call()


def test_workers_give_the_same_bits():
    # lane counts that do not divide among the workers, fewer lanes than workers
    x = real_array((37, 64), seed=8)
    z = complex_array((16, 21), seed=9)
    half = complex_array((17, 3), seed=11)
    big = complex_array((5, 300), seed=10)
    for workers in (2, 4, 5, 64, -1):
        assert np.array_equal(zentavol.fft(z, axis=0, workers=workers), zentavol.fft(z, axis=0, workers=1))
        assert np.array_equal(zentavol.ifft(x, norm="ortho", workers=workers), zentavol.ifft(x, norm="ortho"))
        assert np.array_equal(zentavol.rfft(x, workers=workers), zentavol.rfft(x, workers=1))
        assert np.array_equal(zentavol.rfft(x.T, axis=0, workers=workers), zentavol.rfft(x.T, axis=0))
        assert np.array_equal(zentavol.irfft(half, axis=0, workers=workers), zentavol.irfft(half, axis=0))
        assert np.array_equal(zentavol.magnitude(big, workers=workers), zentavol.magnitude(big))
        assert np.array_equal(zentavol.magnitude(big, axis=0, workers=workers), zentavol.magnitude(big, axis=0))
        work = z.copy()
        zentavol.fft(work, axis=0, inplace=True, workers=workers)
        assert np.array_equal(work, zentavol.fft(z, axis=0))


# (a shape, b shape): rows, columns, a single value, leading dimensions,
# a 0-d operand on either side
BROADCASTS = [((5, 7), (7,)), ((5, 1), (1, 7)), ((5, 7), (5, 1)), ((2, 3, 4), (3, 1)), ((1, 4), (2, 3, 1)),
              ((6,), ()), ((), (6,)), ((), ()), ((3, 1, 2), (1, 4, 1)), ((40,), (1,))]


@pytest.mark.parametrize("name, op", [("add", np.add), ("multiply", np.multiply)])
def test_arithmetic_broadcasts_as_numpy(name, op):
    function = getattr(zentavol, name)
    for (shape_a, shape_b), seed in zip(BROADCASTS, itertools.count()):
        a = real_array(shape_a, seed) * np.float32(100)
        b = real_array(shape_b, seed + 50)
        want = op(a, b)
        got = function(a, b)
        assert got.shape == want.shape and got.dtype == np.float32 and got.flags.c_contiguous
        assert np.array_equal(got, want), (shape_a, shape_b)
    # out= of the broadcast shape, out=a in place with b broadcast, and
    # out=b with a broadcast (worked as b op= a)
    a, b = real_array((4, 6), 1), real_array((6,), 2)
    out = np.empty((4, 6), np.float32)
    assert function(a, b, out=out) is out and np.array_equal(out, op(a, b))
    work = a.copy()
    assert function(work, b, out=work) is work and np.array_equal(work, op(a, b))
    work = a.copy()
    assert function(b, work, out=work) is work and np.array_equal(work, op(b, a))
    # a column and a row into a matrix that is neither
    column, row = real_array((4, 1), 3), real_array((1, 6), 4)
    assert np.array_equal(function(column, row, out=out), op(column, row))

# SPDX-License-Identifier: MIT
# The transforms of the Python module against numpy.fft computed in double
# precision from the same float32 inputs: complex FFT in its three orderings,
# scaling, in place or not, the real FFT in both layouts and its inverse.
import numpy as np
import pytest

import zentavol

# Unit roundoff of float32. A transform of 2^order points runs order
# butterfly stages, each adding at most a few roundings (twiddle product,
# sum) of relative size u to every value, so the error relative to the
# spectrum's norm stays below a small multiple of u * order (random data
# grow like its square root; 2 u order is the linear worst case of about
# two roundings per stage). A wrong twiddle or permutation gives errors of
# order 1, far above it.
U = 2.0**-24


def tolerance(n):
    return 2 * U * max(1, int(np.log2(n)))


def relative_error(got, reference):
    scale = np.linalg.norm(reference)
    return np.linalg.norm(got - reference) / (scale if scale > 0 else 1.0)


def complex_signal(n, seed=1):
    rng = np.random.default_rng(seed + n)
    return (rng.standard_normal(n) + 1j * rng.standard_normal(n)).astype(np.complex64)


def bit_reversed(x):
    n = len(x)
    bits = max(n.bit_length() - 1, 0)
    index = [int(format(i, f"0{bits}b")[::-1], 2) if bits else 0 for i in range(n)]
    return x[index]


ORDERS = [0, 1, 2, 3, 5, 8, 11, 14]


@pytest.mark.parametrize("order", ORDERS)
def test_complex_fft_matches_numpy_in_every_ordering(order):
    n = 1 << order
    x = complex_signal(n)
    kept = x.copy()
    reference = np.fft.fft(x.astype(np.complex128))
    assert zentavol.fft(x).dtype == np.complex64
    assert relative_error(zentavol.fft(x), reference) <= tolerance(n)
    assert relative_error(bit_reversed(zentavol.fft(x, ordering="output_reversed")), reference) <= tolerance(n)
    assert relative_error(zentavol.fft(bit_reversed(x), ordering="input_reversed"), reference) <= tolerance(n)
    inverse = np.fft.ifft(x.astype(np.complex128))
    assert relative_error(zentavol.ifft(x), inverse) <= tolerance(n)
    assert np.array_equal(x, kept)


@pytest.mark.parametrize("order", [3, 10])
def test_inverse_scaling_is_an_exact_power_of_two(order):
    n = 1 << order
    x = complex_signal(n)
    unscaled = zentavol.ifft(x, scale=False)
    assert np.array_equal(zentavol.ifft(x), unscaled * np.float32(1.0 / n))
    assert relative_error(unscaled, n * np.fft.ifft(x.astype(np.complex128))) <= tolerance(n)


def test_reversed_orders_round_trip_without_permutation():
    x = complex_signal(1024)
    spectrum = zentavol.fft(x, ordering="output_reversed")
    assert relative_error(zentavol.ifft(spectrum, ordering="input_reversed"), x) <= tolerance(1024)


def test_in_place_transforms_the_array_itself_and_copies_leave_inputs():
    x = complex_signal(256)
    work = x.copy()
    assert zentavol.fft(work, inplace=True) is work
    assert relative_error(work, np.fft.fft(x.astype(np.complex128))) <= tolerance(256)
    # float64 and list inputs are converted; the caller's objects stay as they were
    samples = [1.0, 2.0, 3.0, 4.0]
    doubles = np.array(samples)
    assert np.allclose(zentavol.fft(doubles), np.fft.fft(doubles))
    assert np.allclose(zentavol.fft(samples), np.fft.fft(samples))
    assert doubles.dtype == np.float64 and list(doubles) == samples


def test_order_zero_leaves_the_value():
    assert zentavol.fft([3 - 2j])[0] == 3 - 2j
    assert zentavol.ifft([3 - 2j])[0] == 3 - 2j
    assert zentavol.rfft([5.0])[0] == 5.0


@pytest.mark.parametrize("order", [1, 2, 4, 9, 13])
def test_real_fft_both_layouts_and_inverse(order):
    n = 1 << order
    x = np.random.default_rng(order).standard_normal(n).astype(np.float32)
    kept = x.copy()
    reference = np.fft.rfft(x.astype(np.float64))
    spectrum = zentavol.rfft(x)
    assert spectrum.dtype == np.complex64 and spectrum.shape == (n // 2 + 1,)
    assert relative_error(spectrum, reference) <= tolerance(n)
    # the end points are real, their imaginary parts +0.0
    assert not np.signbit(spectrum.imag[[0, -1]]).any() and not spectrum.imag[[0, -1]].any()
    packed = zentavol.rfft(x, packed=True)
    assert packed.dtype == np.float32 and np.array_equal(packed, spectrum.view(np.float32))
    inverse = zentavol.rfft(x, inverse=True)
    assert relative_error(inverse, np.conj(reference) / n) <= tolerance(n)
    assert np.array_equal(zentavol.rfft(x, inverse=True, scale=False) * np.float32(1.0 / n), inverse)
    assert relative_error(zentavol.irfft(spectrum), x) <= 2 * tolerance(n)
    assert relative_error(zentavol.irfft(reference.astype(np.complex64)), np.fft.irfft(reference)) <= tolerance(n)
    out = np.empty(n // 2 + 1, np.complex64)
    assert zentavol.rfft(x, out=out) is out and np.array_equal(out, spectrum)
    assert np.array_equal(x, kept)


def test_conjugate_extension_completes_a_half_spectrum():
    x = np.random.default_rng(7).standard_normal(64).astype(np.float32)
    half = zentavol.rfft(x)
    full = zentavol.conj_extend(half)
    assert relative_error(full, np.fft.fft(x.astype(np.float64))) <= tolerance(64)
    assert np.array_equal(full[33:], np.conj(half[1:32][::-1]))
    # in place: the half spectrum at the start of the buffer
    buffer = np.zeros(64, np.complex64)
    buffer[:33] = half
    assert zentavol.conj_extend(buffer[:33], out=buffer) is buffer
    assert np.array_equal(buffer, full)
    assert zentavol.conj_extend([1 + 1j]).shape == (1,)
    assert np.array_equal(zentavol.conj_extend([1 + 1j, 2 + 2j]), np.array([1 + 1j, 2 + 2j], np.complex64))

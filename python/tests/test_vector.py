# SPDX-License-Identifier: MIT
# The module's vector functions: arithmetic and real parts bit for bit
# against NumPy's float32 arithmetic (both correctly rounded), magnitudes,
# extremes, both conversions with their flags, and the variant it reports.
import os

import numpy as np
import pytest

import zentavol


def signal(n, seed=3):
    return np.random.default_rng(seed).standard_normal(n).astype(np.float32) * 100


def test_variant_is_one_of_the_builds_and_the_one_asked_for():
    # the codes of the build's rows, from CMake
    assert zentavol.variant() in os.environ["ZENTAVOL_TEST_VARIANTS"].split(",")
    # every x86-64 processor runs every variant, so an override is obeyed
    if os.environ.get("ZENTAVOL_VARIANT"):
        assert zentavol.variant() == os.environ["ZENTAVOL_VARIANT"].lower()


@pytest.mark.parametrize("name, op", [("add", np.add), ("multiply", np.multiply)])
def test_arithmetic_is_numpys_float32_result_bit_for_bit(name, op):
    function = getattr(zentavol, name)
    a, b = signal(1000, 1), signal(1000, 2)
    kept_a, kept_b = a.copy(), b.copy()
    assert np.array_equal(function(a, b), op(a, b))
    assert np.array_equal(function(a, 1.25), op(a, np.float32(1.25)))
    assert np.array_equal(function(a, a), op(a, a))
    assert np.array_equal(a, kept_a) and np.array_equal(b, kept_b)
    # out=a, out=b and out=a with a itself as b: in place
    work = a.copy()
    assert function(work, b, out=work) is work and np.array_equal(work, op(a, b))
    work = b.copy()
    assert function(a, work, out=work) is work and np.array_equal(work, op(a, b))
    work = a.copy()
    function(work, work, out=work)
    assert np.array_equal(work, op(a, a))
    out = np.empty_like(a)
    function(a, b, out=out)
    assert np.array_equal(out, op(a, b)) and np.array_equal(a, kept_a)
    # float64 operands are rounded to float32 first
    assert np.array_equal(function(a.astype(np.float64), b.astype(np.float64)), op(a, b))


def test_fill_keeps_the_bit_pattern():
    dst = np.ones(5, np.float32)
    assert zentavol.fill(dst, -0.0) is dst
    assert np.signbit(dst).all() and not dst.any()
    zentavol.fill(dst, 7.5)
    assert (dst == 7.5).all()


def test_magnitude_and_real_parts():
    rng = np.random.default_rng(5)
    for n in (100, 1000):  # the direct path, and the power spectrum path beyond 128
        z = (rng.standard_normal(n) + 1j * rng.standard_normal(n)).astype(np.complex64)
        reference = np.abs(z.astype(np.complex128))
        magnitudes = zentavol.magnitude(z)
        assert magnitudes.dtype == np.float32
        # rounded once from an exact or a single-precision sum of squares:
        # within two units in the last place of the true magnitude
        assert np.allclose(magnitudes, reference, rtol=2 * 2.0**-23, atol=0)
        assert np.array_equal(zentavol.real(z), z.real)


def test_extremes():
    x = signal(999)
    assert zentavol.max(x) == x.max() and zentavol.min(x) == x.min()
    assert zentavol.max([1, 5, 2]) == 5.0 and isinstance(zentavol.min([1, 5, 2]), float)


ROUNDINGS = {"nearest": np.rint, "truncate": np.trunc, "floor": np.floor, "ceil": np.ceil}


@pytest.mark.parametrize("rounding", sorted(ROUNDINGS))
@pytest.mark.parametrize("dtype", ["int8", "uint8", "int16", "uint16", "int32", "uint32"])
def test_float_to_int_in_range(rounding, dtype):
    info = np.iinfo(dtype)
    x = np.array([0.5, 1.5, 2.5, -0.0, 3.25, 3.75, 100.5, -2.5, -0.75, info.max, info.min], np.float32)
    rounded = ROUNDINGS[rounding](np.float64(x))
    x = x[(rounded >= info.min) & (rounded <= info.max)]
    got = zentavol.float_to_int(x, dtype, rounding=rounding)
    assert got.dtype == np.dtype(dtype)
    assert np.array_equal(got, ROUNDINGS[rounding](np.float64(x)).astype(dtype))
    # out-of-range elements: test_data.py


def test_float_to_int_edges():
    assert list(zentavol.float_to_int([2.5, 3.5, -2.5, 0.49999997], "int8")) == [2, 4, -2, 0]
    assert list(zentavol.float_to_int([-2147483648.0], np.int32, rounding="floor")) == [-2147483648]
    assert list(zentavol.float_to_int([4294967040.0], np.uint32)) == [4294967040]
    out = np.full(2, 9, np.int16)
    assert zentavol.float_to_int([1.0, 2.0], out=out, rounding="ceil") is out
    assert list(out) == [1, 2]
    # report: the in-range call converts, an out-of-range one raises
    assert list(zentavol.float_to_int([127.4], "int8", report=True)) == [127]


@pytest.mark.parametrize("dtype", ["int8", "uint8", "int16", "uint16", "int32", "uint32"])
def test_int_to_float(dtype):
    info = np.iinfo(dtype)
    x = np.array([0, 1, info.max, info.min, info.max // 3], dtype)
    assert np.array_equal(zentavol.int_to_float(x), x.astype(np.float32))
    out = np.empty(len(x), np.float32)
    assert zentavol.int_to_float(x, out=out) is out and np.array_equal(out, x.astype(np.float32))


def test_int_to_float_converts_other_integers_when_they_fit():
    assert np.array_equal(zentavol.int_to_float([1, -2, 3]), np.array([1, -2, 3], np.float32))
    assert np.array_equal(zentavol.int_to_float(np.array([255], np.int64), dtype=np.uint8), [255.0])
    assert zentavol.int_to_float(np.array([-1], np.int8))[0] == -1.0
    assert zentavol.int_to_float(np.array([16777217], np.int32))[0] == 16777216.0


def test_the_readme_example_finds_a_tone_in_a_wav_file(tmp_path):
    import subprocess
    import sys
    import wave
    from pathlib import Path

    rate = 48000
    tone = 0.5 * np.sin(2 * np.pi * 1500 * np.arange(rate) / rate)  # -6 dB, on a bin of 2^12 points
    stereo = np.stack([np.round(tone * 32767), np.zeros(rate)], axis=1).astype(np.int16)
    with wave.open(str(tmp_path / "tone.wav"), "wb") as f:
        f.setnchannels(2)
        f.setsampwidth(2)
        f.setframerate(rate)
        f.writeframes(stereo.tobytes())
    script = Path(__file__).resolve().parent.parent / "wav_spectrum.py"
    printed = subprocess.run([sys.executable, str(script), str(tmp_path / "tone.wav")],
                             capture_output=True, text=True, check=True).stdout
    assert printed == f"variant {zentavol.variant()}: peak at 1500.0 Hz, -6.0 dB\n"

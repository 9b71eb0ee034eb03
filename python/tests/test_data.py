# SPDX-License-Identifier: MIT
# Data never end the process: with infinities, NaNs (the sign bit set too),
# huge and tiny values in the input, every function returns a result or
# raises ValueError, leaves its inputs as they were, and where the module
# promises it (magnitudes, conversions) gives the same bits on every variant.
import os
import subprocess
import sys

import numpy as np
import pytest

import zentavol


def bits(word):
    return np.array([word], np.uint32).view(np.float32)[0]


NEGATIVE_NAN = bits(0xFFC00000)  # what x86 makes of inf - inf
POSITIVE_NAN = bits(0x7FC00000)
SPECIAL_REALS = [np.inf, -np.inf, NEGATIVE_NAN, POSITIVE_NAN, 1e20, -3e38, 1e-40, -1e-25]
# (re, im) pairs: infinite or NaN parts, squares beyond the float range and
# below its normal numbers, a zero of each sign
SPECIAL_PAIRS = [(np.inf, 0), (0, -np.inf), (np.inf, NEGATIVE_NAN), (NEGATIVE_NAN, 0), (1, NEGATIVE_NAN),
                 (POSITIVE_NAN, POSITIVE_NAN), (1e20, 0), (-1e20, 1e20), (3e38, 3e38), (2e19, -1),
                 (1e-25, 0), (1e-40, -1e-45), (-0.0, -0.0)]


def reals(n, seed=1):
    """n samples with the special values spread over them."""
    x = np.random.default_rng(seed).standard_normal(n).astype(np.float32)
    for k, value in enumerate(SPECIAL_REALS):
        x[(k * 37 + 5) % n] = value
    return x


def complexes(n, seed=2):
    """n complex values with the special pairs in the first 128-block, the
    second one and the trailing part of a vector longer than 256."""
    rng = np.random.default_rng(seed)
    z = (rng.standard_normal(n) + 1j * rng.standard_normal(n)).astype(np.complex64)
    parts = z.view(np.float32).reshape(n, 2)
    for k, (re, im) in enumerate(SPECIAL_PAIRS):
        for i in (k, 130 + 7 * k, n - 1 - k):
            parts[i % n] = (re, im)
    return z


def operands():
    return {"x": reals(512), "z": complexes(300), "z256": complexes(256), "half": complexes(129)}


# (name, call); a call may raise ValueError and nothing else.
CASES = [
    ("fft", lambda a: zentavol.fft(a["z256"])),
    ("fft in place", lambda a: zentavol.fft(a["z256"].copy(), inplace=True)),
    ("ifft", lambda a: zentavol.ifft(a["z256"], scale=False)),
    ("rfft", lambda a: zentavol.rfft(a["x"])),
    ("rfft inverse packed", lambda a: zentavol.rfft(a["x"], inverse=True, packed=True)),
    ("irfft", lambda a: zentavol.irfft(a["half"])),
    ("magnitude of rfft", lambda a: zentavol.magnitude(zentavol.rfft(a["x"]))),
    ("magnitude", lambda a: zentavol.magnitude(a["z"])),
    ("magnitude short", lambda a: zentavol.magnitude(a["z"][:100])),
    ("magnitude out", lambda a: zentavol.magnitude(a["z"], out=np.empty(300, np.float32))),
    ("real", lambda a: zentavol.real(a["z"])),
    ("conj_extend", lambda a: zentavol.conj_extend(a["half"])),
    ("add", lambda a: zentavol.add(a["x"], a["x"][::-1])),
    ("add infinity", lambda a: zentavol.add(a["x"], -np.inf)),
    ("multiply", lambda a: zentavol.multiply(a["x"], a["x"])),
    ("multiply by zero", lambda a: zentavol.multiply(a["x"], 0.0)),
    ("fill", lambda a: zentavol.fill(np.empty(9, np.float32), NEGATIVE_NAN)),
    ("max", lambda a: zentavol.max(a["x"])),
    ("min", lambda a: zentavol.min(a["x"])),
    ("int_to_float", lambda a: zentavol.int_to_float(np.arange(-5, 5, dtype=np.int32))),
] + [
    (f"float_to_int {dtype} {mode}",
     lambda a, dtype=dtype, mode=mode: zentavol.float_to_int(a["x"], dtype, **{mode: True} if mode else {}))
    for dtype in ("int8", "uint8", "int16", "uint16", "int32", "uint32")
    for mode in ("", "saturate", "report")
]


def run_all_cases():
    # One line per case before it runs, so that a case that ends the
    # process is the last one named.
    for name, call in CASES:
        print(name, flush=True)
        try:
            call(operands())
        except ValueError:
            pass
    print("alive", flush=True)


@pytest.fixture(scope="module")
def survivor():
    """Every case in a process of its own first: the library ends a process
    with status 1 and prints nothing, which would take pytest down with it."""
    here = os.path.dirname(os.path.abspath(__file__))
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join([here, os.environ.get("PYTHONPATH", "")]))
    child = subprocess.run([sys.executable, "-c", "import test_data; test_data.run_all_cases()"],
                           env=environment, capture_output=True, text=True, timeout=120)
    return child


def test_every_call_survives_the_data(survivor):
    printed = survivor.stdout.splitlines()
    last = printed[-1] if printed else "(nothing)"
    assert (survivor.returncode, last) == (0, "alive"), f"ended at {last!r}: {survivor.stderr}"


@pytest.mark.parametrize("name, call", CASES, ids=[case[0] for case in CASES])
def test_inputs_stay_as_they_were(survivor, name, call):
    if survivor.returncode != 0:
        pytest.skip("a case ends the process")
    given = operands()
    kept = {key: value.tobytes() for key, value in given.items()}
    try:
        call(given)
    except ValueError as raised:
        assert str(raised)
    for key, value in given.items():
        assert value.tobytes() == kept[key], f"{name} changed {key}"


def expected_magnitudes(z):
    """numpy.abs rounded to float32: correctly rounded from double, which
    is at most one unit away from the module's rounding."""
    return np.abs(z.astype(np.complex128)).astype(np.float32)


def worked_by_the_module(z):
    """The elements whose squared magnitude is not a normal float32."""
    square = np.abs(z.astype(np.complex128)) ** 2
    return ~np.isfinite(z) | ((square > 0) & (square < np.finfo(np.float32).tiny)) | (square > np.finfo(np.float32).max)


@pytest.mark.parametrize("copies", [1, 70])  # 70: the module's chunks of a long vector
def test_magnitudes_of_special_values_are_numpys_on_either_path(survivor, copies):
    if survivor.returncode != 0:
        pytest.skip("a case ends the process")
    z = np.tile(complexes(300), copies)
    magnitudes = zentavol.magnitude(z)
    expected = expected_magnitudes(z)
    np.testing.assert_array_equal(np.isnan(magnitudes), np.isnan(expected))
    np.testing.assert_array_equal(np.isinf(magnitudes), np.isinf(expected))
    finite = np.isfinite(expected)
    assert np.allclose(magnitudes[finite], expected[finite], rtol=2 * 2.0**-23, atol=0)
    # the values the module works itself are the short path's, bit for bit
    special = worked_by_the_module(z[:300])
    assert special.sum() == 3 * len(SPECIAL_PAIRS) - 3  # -0-0i is an ordinary zero
    one_by_one = np.concatenate([zentavol.magnitude(z[i:i + 1]) for i in np.flatnonzero(special)])
    assert magnitudes.reshape(copies, 300)[:, special].tobytes() == one_by_one.tobytes() * copies
    assert not magnitudes[z == 0].view(np.uint32).any()  # +0.0


def test_the_spectrum_of_a_signal_with_an_infinity(survivor):
    if survivor.returncode != 0:
        pytest.skip("a case ends the process")
    x = np.zeros(1024, np.float32)
    x[3] = np.inf
    spectrum = zentavol.rfft(x)
    assert not np.isfinite(spectrum).any()  # inf - inf: NaNs with their sign bit set, mostly
    magnitudes = zentavol.magnitude(spectrum)
    expected = expected_magnitudes(spectrum)
    assert np.array_equal(magnitudes, expected, equal_nan=True)


ROUNDINGS = {"nearest": np.rint, "truncate": np.trunc, "floor": np.floor, "ceil": np.ceil}


@pytest.mark.parametrize("rounding", sorted(ROUNDINGS))
@pytest.mark.parametrize("dtype", ["int8", "uint8", "int16", "uint16", "int32", "uint32"])
def test_float_to_int_out_of_range_elements_as_in_the_generic_build(survivor, rounding, dtype):
    if survivor.returncode != 0:
        pytest.skip("a case ends the process")
    info = np.iinfo(dtype)
    rng = np.random.default_rng(11)
    # in range and out of it on both sides, NaNs of both signs; 53 values
    # from an odd offset, so that the unaligned start, the 8-at-a-time body
    # and the tail of the SIMD builds each meet some
    buffer = np.zeros(64, np.float32)
    x = buffer[3:56]
    span = float(info.max) - float(info.min)
    x[:] = rng.uniform(info.min - span / 2, info.max + span / 2, len(x))
    x[::5] = [np.inf, -np.inf, NEGATIVE_NAN, POSITIVE_NAN, 1e20, -1e20, 0.5, -0.5, 3e9, -3e9, 7.25][: len(x[::5])]
    rounded = ROUNDINGS[rounding](x.astype(np.float64))
    inside = (rounded >= info.min) & (rounded <= info.max)
    assert (~inside).sum() > 15 and inside.sum() > 15

    out = np.full(len(x), 7, dtype)
    zentavol.float_to_int(x, rounding=rounding, out=out)
    assert np.array_equal(out[inside], rounded[inside].astype(dtype))
    assert (out[~inside] == 7).all()
    assert not zentavol.float_to_int(x, dtype, rounding=rounding)[~inside].any()

    saturated = zentavol.float_to_int(x, dtype, rounding=rounding, saturate=True)
    clipped = np.clip(np.where(np.isnan(x), np.inf, rounded), info.min, info.max)
    assert np.array_equal(saturated, clipped.astype(dtype))

    with pytest.raises(ValueError, match=rf"^x\[{np.flatnonzero(~inside)[0]}\] = "):
        zentavol.float_to_int(x, dtype, rounding=rounding, report=True)


def results_for_comparison():
    """The bytes of what the module promises alike on every variant."""
    x = reals(512)
    z = complexes(300)
    # the others' magnitudes may differ in the last place
    out = [zentavol.magnitude(values)[worked_by_the_module(values)]
           for values in (z, z[:100], np.repeat(z[:13], 40))]
    for dtype in ("int8", "uint8", "int16", "uint16", "int32", "uint32"):
        for rounding in sorted(ROUNDINGS):
            out.append(zentavol.float_to_int(x, dtype, rounding=rounding))
            out.append(zentavol.float_to_int(x, dtype, rounding=rounding, saturate=True))
    return b"".join(array.tobytes() for array in out)


def child_results(code):
    here = os.path.dirname(os.path.abspath(__file__))
    environment = dict(os.environ, ZENTAVOL_VARIANT=code,
                       PYTHONPATH=os.pathsep.join([here, os.environ.get("PYTHONPATH", "")]))
    script = ("import sys, test_data, zentavol; print(zentavol.variant()); "
              "sys.stdout.flush(); sys.stdout.buffer.write(test_data.results_for_comparison().hex().encode())")
    child = subprocess.run([sys.executable, "-c", script], env=environment, capture_output=True, timeout=120)
    assert child.returncode == 0, child.stderr.decode()
    variant, _, results = child.stdout.decode().partition("\n")
    return variant, results


@pytest.mark.skipif(bool(os.environ.get("ZENTAVOL_VARIANT")), reason="compares all variants; runs once")
def test_the_promised_results_are_the_same_on_every_variant(survivor):
    if survivor.returncode != 0:
        pytest.skip("a case ends the process")
    results = {}
    # the codes of the build's rows and the generic build's, from CMake
    for code in os.environ["ZENTAVOL_TEST_VARIANTS"].split(","):
        variant, bytes_hex = child_results(code)
        if variant == code:  # a variant that is not built leaves the usual choice
            results[code] = bytes_hex
    assert len(results) >= 2
    reference = results.get(os.environ["ZENTAVOL_TEST_GENERIC"], next(iter(results.values())))
    assert [code for code, value in results.items() if value != reference] == []

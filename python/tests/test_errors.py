# SPDX-License-Identifier: MIT
# Every argument the library would end the process for, and every array the
# module cannot use as it is, raises in Python instead: the right exception,
# the caller's arrays untouched, and the interpreter still running after all
# of them (checked in a process of its own).
import os
import subprocess
import sys

import numpy as np
import pytest

import zentavol

N = 16


def arrays():
    """Fresh operands for each case: name -> array (copies are kept to compare)."""
    buffer = np.arange(2 * N, dtype=np.float32)
    read_only = np.ones(N, np.float32)
    read_only.flags.writeable = False
    read_only_complex = np.ones(N, np.complex64)
    read_only_complex.flags.writeable = False
    return {
        "x": np.ones(N, np.float32),
        "z": np.ones(N, np.complex64),
        "buffer": buffer,
        "read_only": read_only,
        "read_only_complex": read_only_complex,
        "ints": np.arange(N, dtype=np.int16),
    }


# (case, exception, call); each call gets the operands of arrays().
CASES = [
    # transforms
    ("fft length 3", ValueError, lambda a: zentavol.fft(np.ones(3, np.complex64))),
    ("fft empty", ValueError, lambda a: zentavol.fft([])),
    ("fft length 3 along axis 0", ValueError, lambda a: zentavol.fft(np.ones((3, 4), np.complex64), axis=0)),
    ("fft empty axis", ValueError, lambda a: zentavol.fft(np.ones((0, 4), np.complex64), axis=0)),
    ("fft empty other axis", ValueError, lambda a: zentavol.fft(np.ones((4, 0), np.complex64), axis=0)),
    ("fft axis out of range", ValueError, lambda a: zentavol.fft(np.ones((4, 4), np.complex64), axis=2)),
    ("fft axis below the first", ValueError, lambda a: zentavol.fft(a["z"], axis=-2)),
    ("fft axis huge", ValueError, lambda a: zentavol.fft(a["z"], axis=1 << 70)),
    ("fft axis a float", TypeError, lambda a: zentavol.fft(a["z"], axis=0.0)),
    ("fft axis a bool", TypeError, lambda a: zentavol.fft(a["z"], axis=False)),
    ("fft bad norm", ValueError, lambda a: zentavol.fft(a["z"], norm="unitary")),
    ("fft norm not a string", ValueError, lambda a: zentavol.fft(a["z"], norm=1)),
    ("fft workers 0", ValueError, lambda a: zentavol.fft(a["z"], workers=0)),
    ("fft workers below all processors", ValueError, lambda a: zentavol.fft(a["z"], workers=-100000)),
    ("fft workers text", TypeError, lambda a: zentavol.fft(a["z"], workers="2")),
    ("fft workers a bool", TypeError, lambda a: zentavol.fft(a["z"], workers=True)),
    ("fft in place transposed", ValueError,
     lambda a: zentavol.fft(np.ones((4, 8), np.complex64).T, axis=0, inplace=True)),
    ("ifft scale contradicts norm", ValueError, lambda a: zentavol.ifft(a["z"], scale=True, norm="ortho")),
    ("fft scalar", ValueError, lambda a: zentavol.fft(1.0)),
    ("fft text", TypeError, lambda a: zentavol.fft(np.array(["a", "b"]))),
    ("fft objects", TypeError, lambda a: zentavol.fft(None)),
    ("fft bad ordering", ValueError, lambda a: zentavol.fft(a["z"], ordering="reversed")),
    # 2^30 points without the memory: a zero-stride view, refused before any copy
    ("fft order above the largest", ValueError,
     lambda a: zentavol.fft(np.broadcast_to(np.complex64(0), (1 << 30,)))),
    ("fft in place float32", TypeError, lambda a: zentavol.fft(a["x"], inplace=True)),
    ("fft in place list", TypeError, lambda a: zentavol.fft([1j, 2j], inplace=True)),
    ("fft in place strided", ValueError, lambda a: zentavol.fft(np.ones(2 * N, np.complex64)[::2], inplace=True)),
    ("fft in place read-only", ValueError, lambda a: zentavol.fft(a["read_only_complex"], inplace=True)),
    ("fft in place byte-swapped", TypeError,
     lambda a: zentavol.fft(np.ones(N, np.dtype(np.complex64).newbyteorder()), inplace=True)),
    ("ifft length 6", ValueError, lambda a: zentavol.ifft(np.ones(6, np.complex64))),
    ("ifft scale not a bool", TypeError, lambda a: zentavol.ifft(a["z"], scale="no")),
    ("rfft complex input", TypeError, lambda a: zentavol.rfft(a["z"])),
    ("rfft length 12", ValueError, lambda a: zentavol.rfft(np.ones(12, np.float32))),
    ("rfft order above the largest", ValueError,
     lambda a: zentavol.rfft(np.broadcast_to(np.float32(0), (1 << 30,)))),
    ("rfft out too short", ValueError, lambda a: zentavol.rfft(a["x"], out=np.empty(N // 2, np.complex64))),
    ("rfft out float32", TypeError, lambda a: zentavol.rfft(a["x"], out=np.empty(N + 2, np.float32))),
    ("rfft out read-only", ValueError,
     lambda a: zentavol.rfft(a["x"][:8], out=a["read_only_complex"][: 8 // 2 + 1])),
    ("rfft out over the input", ValueError,
     lambda a: zentavol.rfft(a["buffer"][:N], out=a["buffer"][: N + 2].view(np.complex64))),
    ("irfft not n/2+1 values", ValueError, lambda a: zentavol.irfft(np.ones(4, np.complex64))),
    ("irfft not n/2+1 values along axis 0", ValueError,
     lambda a: zentavol.irfft(np.ones((4, 5), np.complex64), axis=0)),
    ("irfft scale not a bool", TypeError, lambda a: zentavol.irfft(a["z"][:9], scale=1)),
    ("rfft 12 along axis 1", ValueError, lambda a: zentavol.rfft(np.ones((2, 12), np.float32), axis=1)),
    ("rfft out of the vector's shape for a matrix", ValueError,
     lambda a: zentavol.rfft(np.ones((2, 8), np.float32), out=np.empty(10, np.complex64))),
    ("rfft out of the other axis' shape", ValueError,
     lambda a: zentavol.rfft(np.ones((4, 8), np.float32), axis=0, out=np.empty((4, 5), np.complex64))),
    ("rfft workers -0.5", TypeError, lambda a: zentavol.rfft(a["x"], workers=-0.5)),
    # arithmetic
    ("add lengths differ", ValueError, lambda a: zentavol.add(a["x"], np.ones(N - 1, np.float32))),
    ("add complex operand", TypeError, lambda a: zentavol.add(a["x"], a["z"])),
    ("add complex value", TypeError, lambda a: zentavol.add(a["x"], 1j)),
    ("add complex vector", TypeError, lambda a: zentavol.add(a["z"], 1.0)),
    ("add empty", ValueError, lambda a: zentavol.add(np.ones(0, np.float32), 1.0)),
    ("add shapes that do not broadcast", ValueError,
     lambda a: zentavol.add(np.ones((3, 4), np.float32), np.ones((3,), np.float32))),
    ("add broadcast empty", ValueError, lambda a: zentavol.add(np.ones((0, 1), np.float32), np.ones(4, np.float32))),
    ("add out of a shape b broadcasts to", ValueError,
     lambda a: zentavol.add(np.ones(4, np.float32), 1.0, out=np.empty((2, 4), np.float32))),
    ("multiply out is a broadcast b", ValueError,
     lambda a: zentavol.multiply(a["buffer"].reshape(2, N), a["buffer"][:N], out=a["buffer"].reshape(2, N))),
    ("multiply out transposed", ValueError,
     lambda a: zentavol.multiply(np.ones((2, 4), np.float32), 2.0, out=np.empty((4, 2), np.float32).T)),
    ("add longer than a C int", ValueError,
     lambda a: zentavol.add(np.broadcast_to(np.float32(0), (1 << 31,)), 1.0)),
    ("add out int16", TypeError, lambda a: zentavol.add(a["x"], 1.0, out=a["ints"])),
    ("add out read-only", ValueError, lambda a: zentavol.add(a["x"], 1.0, out=a["read_only"])),
    ("add out partly over a", ValueError,
     lambda a: zentavol.add(a["buffer"][:N], 1.0, out=a["buffer"][1 : N + 1])),
    ("multiply out partly over b", ValueError,
     lambda a: zentavol.multiply(a["x"], a["buffer"][:N], out=a["buffer"][2 : N + 2])),
    ("fill read-only", ValueError, lambda a: zentavol.fill(a["read_only"], 1.0)),
    ("fill float64", TypeError, lambda a: zentavol.fill(np.ones(N), 1.0)),
    ("fill strided", ValueError, lambda a: zentavol.fill(a["buffer"][::2], 1.0)),
    ("fill list", TypeError, lambda a: zentavol.fill([1.0, 2.0], 1.0)),
    # complex vectors
    ("magnitude out over the input", ValueError,
     lambda a: zentavol.magnitude(a["buffer"].view(np.complex64), out=a["buffer"][:N])),
    ("magnitude out too long", ValueError, lambda a: zentavol.magnitude(a["z"], out=np.empty(N + 1, np.float32))),
    ("magnitude out of another shape", ValueError,
     lambda a: zentavol.magnitude(np.ones((2, 8), np.complex64), out=np.empty(16, np.float32))),
    ("magnitude axis out of range", ValueError, lambda a: zentavol.magnitude(a["z"], axis=1)),
    ("magnitude workers 0", ValueError, lambda a: zentavol.magnitude(a["z"], workers=0)),
    ("magnitude of a scalar", ValueError, lambda a: zentavol.magnitude(1j)),
    ("real out over the input", ValueError,
     lambda a: zentavol.real(a["buffer"].view(np.complex64), out=a["buffer"][N:])),
    ("real empty", ValueError, lambda a: zentavol.real(np.ones(0, np.complex64))),
    ("conj_extend out wrong length", ValueError,
     lambda a: zentavol.conj_extend(a["z"][:9], out=np.empty(15, np.complex64))),
    ("conj_extend out over the half elsewhere", ValueError,
     lambda a: zentavol.conj_extend(a["z"][1:6], out=a["z"][:8])),
    # extremes
    ("max empty", ValueError, lambda a: zentavol.max([])),
    ("min complex", TypeError, lambda a: zentavol.min(a["z"])),
    ("min two-dimensional", ValueError, lambda a: zentavol.min(np.ones((2, 2)))),
    # conversions
    ("float_to_int without a type", TypeError, lambda a: zentavol.float_to_int(a["x"])),
    ("float_to_int int64", TypeError, lambda a: zentavol.float_to_int(a["x"], np.int64)),
    ("float_to_int float type", TypeError, lambda a: zentavol.float_to_int(a["x"], np.float32)),
    ("float_to_int bad rounding", ValueError, lambda a: zentavol.float_to_int(a["x"], "int8", rounding="up")),
    ("float_to_int out float32", TypeError, lambda a: zentavol.float_to_int(a["x"], out=np.empty(N, np.float32))),
    ("float_to_int out of another type", TypeError,
     lambda a: zentavol.float_to_int(a["x"], "int8", out=a["ints"])),
    ("float_to_int out read-only", ValueError,
     lambda a: zentavol.float_to_int(a["x"], out=np.frombuffer(bytes(2 * N), np.int16))),
    ("float_to_int report above", ValueError,
     lambda a: zentavol.float_to_int(np.array([1.0, 127.5], np.float32), "int8", report=True, out=a["ints"].astype(np.int8))),
    ("float_to_int report NaN", ValueError,
     lambda a: zentavol.float_to_int(np.array([np.nan], np.float32), "int32", report=True, saturate=True)),
    ("float_to_int report negative unsigned", ValueError,
     lambda a: zentavol.float_to_int(np.array([-0.25], np.float32), "uint8", rounding="floor", report=True)),
    ("float_to_int report 2^31", ValueError,
     lambda a: zentavol.float_to_int(np.array([2147483648.0], np.float32), "int32", rounding="truncate", report=True)),
    ("float_to_int saturate not a bool", TypeError, lambda a: zentavol.float_to_int(a["x"], "int8", saturate=1.5)),
    ("int_to_float floats", TypeError, lambda a: zentavol.int_to_float(a["x"])),
    ("int_to_float value outside the type", ValueError,
     lambda a: zentavol.int_to_float(np.array([300], np.int64), dtype=np.uint8)),
    ("int_to_float beyond int32", ValueError, lambda a: zentavol.int_to_float([1 << 40])),
    ("int_to_float bad type", TypeError, lambda a: zentavol.int_to_float(a["ints"], dtype=np.int64)),
    ("int_to_float out over the input", ValueError,
     lambda a: zentavol.int_to_float(a["buffer"].view(np.int32), out=a["buffer"])),
    ("int_to_float empty", ValueError, lambda a: zentavol.int_to_float(np.ones(0, np.int8))),
]


@pytest.mark.parametrize("name, exception, call", CASES, ids=[case[0] for case in CASES])
def test_bad_argument_raises_and_touches_nothing(name, exception, call):
    operands = arrays()
    kept = {key: value.copy() for key, value in operands.items()}
    with pytest.raises(exception) as raised:
        call(operands)
    assert str(raised.value)
    for key, value in operands.items():
        assert np.array_equal(value, kept[key], equal_nan=True), f"{name} changed {key}"


def run_all_cases():
    for name, exception, call in CASES:
        try:
            call(arrays())
        except exception:
            continue
        raise AssertionError(f"{name} did not raise {exception.__name__}")


def test_the_interpreter_survives_every_case():
    # The library ends a process with exit status 1 and prints nothing; a
    # case that reached it would cut this child short before "alive".
    here = os.path.dirname(os.path.abspath(__file__))
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join([here, os.environ.get("PYTHONPATH", "")]))
    child = subprocess.run(
        [sys.executable, "-c", "import test_errors; test_errors.run_all_cases(); print('alive')"],
        env=environment, capture_output=True, text=True, timeout=120)
    assert (child.returncode, child.stdout) == (0, "alive\n"), child.stderr

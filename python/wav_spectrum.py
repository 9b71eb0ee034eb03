# SPDX-License-Identifier: MIT
# The spectrum of a WAV file (16-bit PCM, first channel) with the Python
# module: the strongest frequency and its level (a full-scale sine reads 0 dB).
import sys, wave
import numpy as np
import zentavol

with wave.open(sys.argv[1]) as f:
    rate, channels = f.getframerate(), f.getnchannels()
    pcm = np.frombuffer(f.readframes(f.getnframes()), np.int16)[::channels]
n = 4096
window = (np.hanning(n) / 32768).astype(np.float32)
frames = [zentavol.multiply(zentavol.int_to_float(pcm[i:i + n]), window) for i in range(0, len(pcm) - n + 1, n)]
level = np.mean([zentavol.magnitude(zentavol.rfft(frame)) for frame in frames], axis=0) / (n / 4)
peak = int(np.argmax(level))
print(f"variant {zentavol.variant()}: peak at {peak * rate / n:.1f} Hz, {20 * np.log10(level[peak]):.1f} dB")

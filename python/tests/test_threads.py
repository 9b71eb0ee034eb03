# SPDX-License-Identifier: MIT
# Threads calling the module at once: each builds its own FFT tables, and
# the results do not depend on the thread (bit for bit against the main
# thread's).
import threading

import numpy as np

import zentavol


def work(order, seed):
    rng = np.random.default_rng(seed)
    x = rng.standard_normal(1 << order).astype(np.float32)
    z = (x + 1j * x[::-1]).astype(np.complex64)
    spectrum = zentavol.rfft(x)
    return spectrum, zentavol.fft(z), zentavol.magnitude(spectrum), zentavol.multiply(x, x)


def test_threads_at_once_give_the_main_threads_results():
    jobs = [(order, seed) for seed in range(3) for order in (6, 10, 13, 15)]
    expected = {job: work(*job) for job in jobs}
    results = {}
    failures = []
    start = threading.Barrier(len(jobs))

    def run(job):
        try:
            start.wait()
            for _ in range(5):
                results[job] = work(*job)
        except Exception as error:  # reported by the main thread
            failures.append(error)

    threads = [threading.Thread(target=run, args=(job,)) for job in jobs]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not failures
    for job in jobs:
        for got, want in zip(results[job], expected[job]):
            assert np.array_equal(got, want)

// SPDX-License-Identifier: MIT
// The C++ header as an application uses it: buffers from the library's
// allocator, the spectrum of a tone through the span-based calls, and a bad
// argument caught as an exception where the C call would end the process.
#include <zentavol.hpp>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

int main() {
    constexpr std::size_t kN = 1024;
    constexpr std::size_t kBin = 100;
    zentavol::Buffer<float> samples(kN);
    for (std::size_t i = 0; i < kN; ++i)
        samples[i] = static_cast<float>(std::cos(2.0 * std::numbers::pi * kBin * static_cast<double>(i) / kN));

    zentavol::Buffer<zentavol::Complex> spectrum(kN / 2 + 1);
    zentavol::Buffer<float> level(kN / 2 + 1);
    zentavol::realFft(samples, spectrum, QEL_FFT_FORWARD);
    zentavol::magnitude(spectrum, level);
    const float peak = zentavol::max(level);
    std::size_t at = 0;
    while (level[at] != peak) ++at;
    std::printf("peak %.1f at bin %u of %u\n", static_cast<double>(peak), static_cast<unsigned>(at),
                static_cast<unsigned>(kN / 2 + 1));

    try {
        zentavol::realFft(std::span<const float>(samples).first(1000), spectrum, QEL_FFT_FORWARD);
        std::puts("a transform of 1000 samples was not refused");
        return 1;
    } catch (const std::length_error& error) {
        std::printf("refused: %s\n", error.what());
    }
    return at == kBin && std::fabs(peak - kN / 2.0f) < 0.01f ? 0 : 1;
}

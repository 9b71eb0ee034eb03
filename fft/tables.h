// The FFT engine's per-thread tables: the quarter sine table every twiddle
// comes from, the DIT, DIF, big and real twiddle tables, the bit-reversal
// tables, and their release. Shared by every variant library.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::fft {

// Highest order of the decimation-in-frequency kernel's own table; larger
// orders run 1024-point split-radix blocks behind radix-2 stages.
inline constexpr int kDifBlockOrder = 10;

// The scratch-buffer slot of the FFT entry points.
inline constexpr int kFftWorkBufferSlot = 3;

// S[k] = sin(2*pi*k/n), k = 0..n/4, evaluated in extended precision and
// rounded to float; null when there is no memory or n is not representable.
// The caller frees the table with qelFree.
float* makeQuarterSine(int order);

// Getters: the cached table of the order, built first if the slot is empty;
// null for an order outside 0..31 or when a table cannot be allocated.
// Nothing is reported here; the entry points turn a null into a report.
SComplex* getDitTwiddles(int order);
SComplex* getDifTwiddles(int order);
SComplex* getBigTwiddles(int order);
SComplex* getRealTwiddles(int order);
std::int32_t* getBitRevTable(int order);

// Releasers: free the cached table of the order and empty its slot; an
// order outside 0..31 does nothing. A DIT or DIF release above the block
// order also drops the big table of the order and the shared order-10 table.
void releaseDitTwiddles(int order);
void releaseDifTwiddles(int order);
void releaseBigTwiddles(int order);
void releaseRealTwiddles(int order);
void releaseBitRevTable(int order);

// Every table of the calling thread, all orders; scratch buffers stay.
void releaseAllFftTables();

// Frees the scratch buffer of slot 0..3; other slot numbers do nothing.
void releaseWorkBuffer(int slot);

}  // namespace qel::fft

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

// The largest order either entry transforms; a larger one (up to 31) is
// refused as out of memory before any table is built. With 64-bit pointers
// order 30 has a big and a real twiddle table of 2^31 bytes or more, past
// the int byte count of qelMalloc. With 32-bit pointers an order-28 complex
// signal alone takes 2^31 bytes, more than one object of a 32-bit program
// may span and all the address space a Windows process has by default; a
// real one's input, output and tables take 2.9 GiB. Every build's tables
// fit a request up to this order.
inline constexpr int kMaxFftOrder = sizeof(void*) == 8 ? 29 : 27;

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

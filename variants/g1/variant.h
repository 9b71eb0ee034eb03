// SPDX-License-Identifier: MIT
// ZentavolG1, the generic build: x87 arithmetic only, the reference for
// behaviour. The generic family throughout, with the contract's limits.
#pragma once

#include "kernels/generic/family.h"
#include "variants/contract.h"

namespace qel::variant {

using namespace generic::vector_loops;
using namespace generic::fft_kernels;
using namespace generic::fft_tables;

}  // namespace qel::variant

// SPDX-License-Identifier: MIT
// Marks the definition of one of the sixteen exports: C linkage, and the only
// symbols a variant library makes visible (everything else is hidden).
#pragma once

#include "zentavol.h"

#if defined(_WIN32)
#define QEL_EXPORT extern "C"
#else
#define QEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

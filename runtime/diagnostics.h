// SPDX-License-Identifier: MIT
// The process-wide diagnostic switch of the accelerated paths. Set from the
// environment variable ZENTAVOL_REFERENCE_PATHS (anything but "" or "0")
// once, at process attach, before any thread can call into the library: so
// it is a plain flag, read without a lock. While it is on, every accelerated
// piece takes its reference path, whose results the accelerated one
// reproduces bit for bit.
#pragma once

namespace qel {

bool referencePaths();
// For tests, which compare the two paths within one process.
void setReferencePaths(bool on);
// Reads the environment variable; called at process attach.
void readReferenceSwitch();

}  // namespace qel

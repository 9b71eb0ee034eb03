// SPDX-License-Identifier: MIT
// The reference-path switch. Linked by every variant.
#include "runtime/diagnostics.h"

#include "platform/platform.h"

namespace qel {

namespace {
bool referenceOnly = false;
}  // namespace

bool referencePaths() { return referenceOnly; }

void setReferencePaths(bool on) { referenceOnly = on; }

void readReferenceSwitch() {
    // The first two characters tell "0" from every other non-empty value.
    char value[3];
    referenceOnly = platform::getEnvironmentVariable("ZENTAVOL_REFERENCE_PATHS", value, sizeof value) &&
                    !(value[0] == '0' && value[1] == '\0');
}

}  // namespace qel

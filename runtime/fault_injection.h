// SPDX-License-Identifier: MIT
// A countdown to an injected allocation failure, armed only by unit tests.
#pragma once

struct QelFaultCountdown {
    int remaining = -1;  // negative: never fail

    // True when this request must fail; counts a success otherwise.
    bool refuse() {
        if (remaining < 0) return false;
        if (remaining == 0) return true;
        --remaining;
        return false;
    }
};

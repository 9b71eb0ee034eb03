// SPDX-License-Identifier: MIT
// A handler that records each report instead of ending the process, for unit
// tests that observe the five arguments and what a function did after the
// report. Installed in the calling thread's context only; the guard puts the
// default back.
#pragma once

#include <string>
#include <vector>

#include "runtime/context.h"
#include "runtime/status.h"

namespace zv::test {

struct Report {
    int status;
    std::string funcName;
    std::string context;
    std::string file;
    int line;

    bool operator==(const Report&) const = default;
};

struct RecordingHandler {
    RecordingHandler();
    ~RecordingHandler();
    RecordingHandler(const RecordingHandler&) = delete;
    RecordingHandler& operator=(const RecordingHandler&) = delete;

    // The reports of the calling thread since the guard was made.
    std::vector<Report>& reports();
    int returnValue = 0;  // what the handler returns to qelReportError

private:
    std::vector<Report> recorded_;
};

// Readable in failure messages.
void PrintTo(const Report& report, std::ostream* os);

}  // namespace zv::test

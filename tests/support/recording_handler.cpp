// SPDX-License-Identifier: MIT
#include "tests/support/recording_handler.h"

#include <ostream>

namespace zv::test {

namespace {

// Only a plain pointer is thread-local: MinGW runs the destructors of
// thread_local objects after it may have freed their storage.
thread_local RecordingHandler* active;

int record(int status, const char* funcName, const char* context, const char* file, int line) {
    active->reports().push_back({status, funcName, context, file, line});
    return active->returnValue;
}

}  // namespace

RecordingHandler::RecordingHandler() {
    active = this;
    qelGetContext()->errorHandler = record;
}

RecordingHandler::~RecordingHandler() {
    qelGetContext()->errorHandler = qelDefaultErrorHandler;
    active = nullptr;
}

std::vector<Report>& RecordingHandler::reports() { return recorded_; }

void PrintTo(const Report& r, std::ostream* os) {
    *os << "{" << r.status << ", \"" << r.funcName << "\", \"" << r.context << "\", \"" << r.file
        << "\", " << r.line << "}";
}

}  // namespace zv::test

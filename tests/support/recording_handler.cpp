#include "tests/support/recording_handler.h"

#include <ostream>

namespace zv::test {

namespace {

thread_local std::vector<Report> recorded;
thread_local RecordingHandler* active;

int record(int status, const char* funcName, const char* context, const char* file, int line) {
    recorded.push_back({status, funcName, context, file, line});
    return active->returnValue;
}

}  // namespace

RecordingHandler::RecordingHandler() {
    recorded.clear();
    active = this;
    qelGetContext()->errorHandler = record;
}

RecordingHandler::~RecordingHandler() {
    qelGetContext()->errorHandler = qelDefaultErrorHandler;
    active = nullptr;
}

std::vector<Report>& RecordingHandler::reports() { return recorded; }

void PrintTo(const Report& r, std::ostream* os) {
    *os << "{" << r.status << ", \"" << r.funcName << "\", \"" << r.context << "\", \"" << r.file
        << "\", " << r.line << "}";
}

}  // namespace zv::test

// SPDX-License-Identifier: MIT
// Status accessors, the reporting path and the status texts.
#include "runtime/status.h"

#include <cstdlib>

#include "runtime/context.h"

int qelGetStatus() { return qelGetContext()->status; }

void qelSetStatus(int status) { qelGetContext()->status = status; }

int qelGetErrorMode() { return qelGetContext()->errorMode; }

int qelReportError(int status, const char* funcName, const char* context, const char* file,
                   int line) {
    // Backtrace and autotrace are notices about a report, not a new status.
    if (status != QEL_STATUS_BACKTRACE && status != QEL_STATUS_AUTOTRACE) {
        qelGetContext()->status = status;
        if (status == QEL_STATUS_OK) return 0;
    }
    return qelGetContext()->errorHandler(status, funcName, context, file, line);
}

int qelDefaultErrorHandler(int status, const char*, const char*, const char*, int) {
    if (qelGetErrorMode() == QEL_ERROR_MODE_EXIT) std::exit(1);
    return status;
}

const char* qelStatusMessage(int status) {
    // Indexed by -status; null marks codes without a text of their own.
    static const char* const kMessages[] = {
        "No Error",
        "Backtrace",
        nullptr,
        "Internal error (bad state)",
        "Out of memory",
        "Bad argument",
        "Unsupported function",
        "Iteration convergence failed",
        "Autotrace call",
        nullptr,
        "Null pointer",
        nullptr,
        "Bad pointer",
        "Bad data structure",
        "Bad vector length",
    };
    constexpr int kCount = static_cast<int>(sizeof kMessages / sizeof kMessages[0]);
    if (status > 0 || status <= -kCount || kMessages[-status] == nullptr)
        return "Unknown error or status code";
    return kMessages[-status];
}

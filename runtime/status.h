// SPDX-License-Identifier: MIT
// Status codes, the thread's status and error mode, and the single reporting
// path through which every failed check and failed table allocation goes.
#pragma once

#include <cstdint>

enum QelStatus : std::int32_t {
    QEL_STATUS_OK = 0,
    QEL_STATUS_BACKTRACE = -1,
    QEL_STATUS_INTERNAL_ERROR = -3,
    QEL_STATUS_OUT_OF_MEMORY = -4,
    QEL_STATUS_BAD_ARGUMENT = -5,
    QEL_STATUS_UNSUPPORTED = -6,
    QEL_STATUS_NO_CONVERGENCE = -7,
    QEL_STATUS_AUTOTRACE = -8,
    QEL_STATUS_NULL_POINTER = -10,
    QEL_STATUS_BAD_POINTER = -12,
    QEL_STATUS_BAD_STRUCTURE = -13,
    QEL_STATUS_BAD_LENGTH = -14,
};

inline constexpr std::int32_t QEL_ERROR_MODE_EXIT = 0;

int qelGetStatus();
void qelSetStatus(int status);
int qelGetErrorMode();

extern "C" {
int qelReportError(int status, const char* funcName, const char* context, const char* file,
                   int line);
int qelDefaultErrorHandler(int status, const char* funcName, const char* context,
                           const char* file, int line);
}

const char* qelStatusMessage(int status);

// The argument-check report: QEL_STATUS_BAD_ARGUMENT for the named operation.
inline void qelReportBadArgument(const char* funcName, const char* condition,
                                 const char* module, int line) {
    qelReportError(QEL_STATUS_BAD_ARGUMENT, funcName, condition, module, line);
}

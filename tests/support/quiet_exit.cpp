// SPDX-License-Identifier: MIT
// ZV_EXPECT_QUIET_EXIT1: the child's side (the watched bytes), and on
// Windows the runner that starts the child and judges how it ended.
//
// Why a runner of our own on Windows: GoogleTest's Windows death tests
// redirect the parent's own stderr into a file while the child runs, and
// hand the child the write end of a status pipe through an event and a
// handle duplicated out of the parent. Any failure of that exchange
// (creating the process, waiting, reading the pipe, or the child's handle
// duplication) ends the parent with an internal error written to that
// redirected stderr, which nobody reads: the test's output stops after
// "[ RUN ]" with no reason given. Under Wine on a busy machine the
// exchange goes through the Wine server for every step. Here the parent
// keeps its own output, the child gets a pipe for its stderr as its only
// link, and whatever happens (no process, no end in time, another code,
// output) is reported as a failure of the check that caused it.
#include "tests/support/quiet_exit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#define ZV_DUP2 _dup2
#else
#include <unistd.h>
#define ZV_DUP2 dup2
#endif

namespace zv::test {

namespace {

struct Watched {
    const unsigned char* where;
    std::vector<unsigned char> before;
};
std::vector<Watched>* watched;

void checkAtExit() {
    for (const Watched& w : *watched) {
        if (std::memcmp(w.where, w.before.data(), w.before.size()) != 0) {
            std::fputs("an output was written before the process ended\n", stderr);
            std::fflush(stderr);
            std::_Exit(2);
        }
    }
}

void watch(const void* bytes, std::size_t count) {
    if (watched == nullptr) {
        watched = new std::vector<Watched>;
        std::atexit(checkAtExit);
    }
    if (bytes == nullptr || count == 0) return;
    const auto* p = static_cast<const unsigned char*>(bytes);
    watched->push_back({p, std::vector<unsigned char>(p, p + count)});
}

}  // namespace

void watchUntouched(const void* bytes, std::size_t count) {
    std::fflush(stdout);
    ZV_DUP2(2, 1);
    watch(bytes, count);
}

void watchUntouched2(const void* a, std::size_t aCount, const void* b, std::size_t bCount) {
    watchUntouched(a, aCount);
    watch(b, bCount);
}

#if defined(_WIN32)

namespace {

// The child learns which check of its test to run from this variable, which
// it removes at once so that its own children do not see it.
constexpr const char* kChildVariable = "ZV_QUIET_EXIT_CHILD";

unsigned timeLimitMs = 300000;

// The checks of the running test are counted from 0 at each test start.
int checksOfThisTest = 0;

class CountReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { checksOfThisTest = 0; }
};

int nextCheck() {
    static bool listening = false;
    if (!listening) {
        // Installed from the first check, within the first test that has one.
        ::testing::UnitTest::GetInstance()->listeners().Append(new CountReset);
        listening = true;
    }
    return checksOfThisTest++;
}

// -1 in the parent, else the number of the check this child runs.
int childCheck() {
    static const int check = [] {
        const char* value = std::getenv(kChildVariable);
        if (value == nullptr || *value == '\0') return -1;
        const int n = std::atoi(value);
        SetEnvironmentVariableA(kChildVariable, nullptr);
        return n;
    }();
    return check;
}

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

std::string lastError(const char* what) {
    return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

// Moves what the pipe holds now into `out`, without waiting for more.
void drain(HANDLE pipe, std::string& out) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) ||
            got == 0)
            return;
        out.append(buffer, got);
    }
}

}  // namespace

bool inQuietExitChild() { return childCheck() >= 0; }

bool quietExitChildRunsThis() {
    const int check = nextCheck();
    return childCheck() == check;
}

void setQuietExitTimeLimit(unsigned milliseconds) { timeLimitMs = milliseconds; }

void expectQuietExitOfChild(const char* statement, const char* file, int line) {
    const int check = checksOfThisTest - 1;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    auto fail = [&](const std::string& why) {
        ADD_FAILURE_AT(file, line) << "quiet exit of: " << statement << "\n" << why;
    };

    // The child's stdin and stdout are the null device (what the test prints
    // before the check is not the check's), its stderr the pipe; the check
    // joins stdout to stderr before the statement.
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle readEnd, writeEnd, nul;
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherit, 0)) return fail(lastError("CreatePipe"));
    SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0);
    nul.h = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                        OPEN_EXISTING, 0, nullptr);
    if (nul.h == INVALID_HANDLE_VALUE) return fail(lastError("opening NUL"));

    char program[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return fail(lastError("GetModuleFileNameA"));
    // The program's own arguments, the last filter naming this test alone.
    std::string commandLine = std::string(GetCommandLineA()) + " --gtest_filter=" + test->test_suite_name() +
                              "." + test->name();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.h;
    startup.hStdOutput = nul.h;
    startup.hStdError = writeEnd.h;
    PROCESS_INFORMATION child = {};
    std::fflush(nullptr);
    SetEnvironmentVariableA(kChildVariable, std::to_string(check).c_str());
    const BOOL started = CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &child);
    const DWORD startError = GetLastError();
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started) return fail("CreateProcessA failed, error " + std::to_string(startError));
    Handle process, thread;
    process.h = child.hProcess;
    thread.h = child.hThread;
    // Only the child holds the write end now: the pipe is its alone.
    CloseHandle(writeEnd.h);
    writeEnd.h = nullptr;

    // Reads while waiting, so that a child that prints much is not blocked on
    // a full pipe; whatever the child left in the pipe is taken once it has
    // ended (without waiting for the pipe's end: a process the child started
    // may hold it).
    std::string output;
    const ULONGLONG deadline = GetTickCount64() + timeLimitMs;
    DWORD waited;
    do {
        waited = WaitForSingleObject(process.h, 20);
        drain(readEnd.h, output);
    } while (waited == WAIT_TIMEOUT && GetTickCount64() < deadline);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.h, 99);
        WaitForSingleObject(process.h, 10000);
        return fail(waited == WAIT_TIMEOUT
                        ? "the child did not end within " + std::to_string(timeLimitMs) + " ms; it printed: [" +
                              output + "]"
                        : lastError("WaitForSingleObject"));
    }
    drain(readEnd.h, output);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.h, &code)) return fail(lastError("GetExitCodeProcess"));
    if (code != 1 || !output.empty()) {
        fail("the child ended with code " + std::to_string(code) + " (1 expected) and printed [" + output +
             "] (nothing expected)" +
             (code == 2 ? "; code 2: an output was written"
                        : code == 99 ? "; code 99: the statement returned" : ""));
    }
}

#endif  // _WIN32

}  // namespace zv::test

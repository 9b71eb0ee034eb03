// SPDX-License-Identifier: MIT
// A made-up system for the front library's unit tests: it answers the version
// query as told, "loads" only the libraries a test declares present (with
// the exports a test declares missing left out), and records every request,
// beep and message in the order they came.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zv::test {

// cpuid leaf 1 EDX feature bits.
inline constexpr std::uint32_t kFpu = 1u << 0, kCmov = 1u << 15, kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;

struct FakeMessage {
    std::string text;
    std::string caption;
    unsigned style;
    bool operator==(const FakeMessage&) const = default;
};

struct FakeVersionAnswer {
    bool accepted;
    std::uint32_t platformId;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
};

struct FakeSystem {
    // Answers of the version query by the record size asked for; a size not
    // listed is refused.
    std::map<std::uint32_t, FakeVersionAnswer> versionAnswers;
    std::vector<std::uint32_t> versionSizesAsked;

    // Library name -> names it does not export.
    std::map<std::string, std::set<std::string>> present;
    std::vector<std::string> loadRequests;
    std::vector<std::string> freed;
    std::vector<std::string> lookups;

    // The environment, whether the process is secure (set-user-ID and the
    // like), and the lines written to standard error.
    std::map<std::string, std::string> environment;
    bool secureProcess = false;
    std::vector<std::string> errorLines;

    // "beep 16" and "box <caption>" in the order they happened.
    std::vector<std::string> events;
    std::vector<FakeMessage> messages;
};

// The system the fake platform answers from; reset before each test.
FakeSystem& fakeSystem();
void resetFakeSystem();

// The address the fake lookup gives for an export of a present library:
// distinct for every library and name, and stable.
void* fakeAddress(const std::string& library, const std::string& name);

// The library name behind a handle the fake loader returned.
std::string fakeLibraryName(void* handle);

}  // namespace zv::test

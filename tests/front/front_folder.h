// SPDX-License-Identifier: MIT
// The scratch folders of the front library's black-box runs: each holds the
// test application and the front library, and whatever variant files a test
// puts beside them; the application runs there and its output is collected.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "front/loader.h"
#include "front/probe.h"
#include "front/tables.h"

namespace zv::test {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The file name the front library loads a variant from (its SONAME).
inline std::string fileOf(const std::string& libraryName) {
    return "lib" + libraryName + ".so." + std::to_string(ZV_VARIANT_SOVERSION);
}

// This machine's row, from the probe that the unit suite checks.
inline Names machineRow() {
    const int row = qel::front::preferenceRowFor(qel::front::isOldWindows(), qel::front::classifyProcessor());
    Names names;
    for (int i = 0; qel::front::kPreferenceRows[row][i] != qel::front::kRowEnd; ++i)
        names.push_back(qel::front::kVariantNames[qel::front::kPreferenceRows[row][i]]);
    return names;
}

// A run longer than this is taken for a hang and ended.
inline constexpr int kTimeLimitSeconds = 60;
inline constexpr int kTimedOut = 124;  // timeout's status for a run it ended

struct RunResult {
    int exitCode;  // minus the signal's number when a signal ended the run
    std::string out;
    std::string err;
};

inline std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline const std::string kNoVariantMessage = "Load Zentavol error:  No Zentavol DLL was found\n";

// A fresh folder with the application and the front library in it.
class Folder {
public:
    Folder() {
        std::string pattern = std::string(ZV_FRONT_SCRATCH_DIR) + "/run-XXXXXX";
        fs::create_directories(ZV_FRONT_SCRATCH_DIR);
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
        dir_ = pattern;
        fs::copy_file(ZV_FRONT_APP, dir_ / "front_app");
        // under its SONAME, the name the application asks the loader for
        fs::copy_file(ZV_FRONT_LIBRARY, dir_ / ZV_FRONT_LIBRARY_NAME);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    const fs::path& path() const { return dir_; }

    // Leaves the folder to the search path only: without its copy of the
    // front library, which the loader would take from there, before the
    // application's own, and look for the variants beside.
    void dropFrontLibrary() { fs::remove(dir_ / ZV_FRONT_LIBRARY_NAME); }

    // Puts a library file into the folder under a variant's name.
    void put(const std::string& source, const std::string& libraryName) {
        fs::copy_file(source, dir_ / fileOf(libraryName), fs::copy_options::overwrite_existing);
    }

    // Puts these bytes into the folder under a variant's name.
    void putBytes(const std::string& bytes, const std::string& libraryName) {
        std::ofstream(dir_ / fileOf(libraryName), std::ios::binary | std::ios::trunc) << bytes;
    }

    // Puts a program into the folder.
    void putProgram(const std::string& source, const std::string& name) {
        fs::copy_file(source, dir_ / name, fs::copy_options::overwrite_existing);
    }

    // Runs the application; the variants can come only from this folder, or
    // first from `searchPath` when one is given as LD_LIBRARY_PATH.
    RunResult run(const std::string& argument = "", const std::string& searchPath = "") const {
        return runProgram("front_app", argument, searchPath);
    }

    // Runs a program of the folder, with ZENTAVOL_VARIANT set to `variant`
    // unless it is empty, under `launcher` (a command and its options, such
    // as setpriv's) when one is given.
    RunResult runProgram(const std::string& program, const std::string& argument, const std::string& searchPath,
                         const std::string& variant = "", const std::string& launcher = "") const {
        // env takes its options before its assignments
        std::string environment = "env";
        if (searchPath.empty()) environment += " -u LD_LIBRARY_PATH";
        if (variant.empty()) environment += " -u ZENTAVOL_VARIANT";
        if (!searchPath.empty()) environment += " LD_LIBRARY_PATH='" + searchPath + "'";
        if (!variant.empty()) environment += " ZENTAVOL_VARIANT='" + variant + "'";
        // exec, so that a signal that ends the application is the status seen
        // (timeout raises the program's signal again); a run that hangs ends
        // after the limit with kTimedOut instead of stopping the suite.
        const std::string command = "cd '" + dir_.string() + "' && exec timeout -k 5 " +
                                    std::to_string(kTimeLimitSeconds) + " " + environment + " " + launcher + " ./" + program + " " +
                                    argument + " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
        return {exitCode, readAll(dir_ / "out.txt"), readAll(dir_ / "err.txt")};
    }

private:
    fs::path dir_;
};

}  // namespace zv::test

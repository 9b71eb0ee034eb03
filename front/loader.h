// SPDX-License-Identifier: MIT
// Loading the preferred variant library and binding the entry slots to its
// functions, and the front library's own load and unload handling.
#pragma once

#include "front/classify.h"
#include "front/tables.h"
#include "platform/front_platform.h"

namespace qel::front {

// The loaded variant, null until one is loaded; kept until process detach.
extern platform::ModuleHandle variantModule;

// The preference row for the machine: row 0 on an old system, else the row of
// the processor class (row 0 for a class outside 0..5).
int preferenceRowFor(int oldWindows, int processorClass);

// Tries the names of the row in order; the first that loads is the result.
// When none loads, tells the user once and returns null.
platform::ModuleHandle loadVariantFromRow(int row);

// The environment variable that names a variant to load before the row.
inline constexpr char kOverrideVariable[] = "ZENTAVOL_VARIANT";

enum class OverrideState {
    None,       // unset or empty
    Unknown,    // not one of the six codes
    CannotRun,  // the machine lacks what the variant needs; not loaded
    Missing,    // could not be loaded
    Taken,      // loaded
    Ignored,    // set, but the process is secure (isSecureProcess): not read
};

// One name asked for, and why it was passed over when it was.
struct Attempt {
    int variant;
    bool loaded;
    char whyNot[192];
};

// Every step of the choice, as the attach made it; zentavol-which prints it.
struct Choice {
    int processorClass;
    int row;
    OverrideState overrideState;
    int overrideVariant;     // -1 unless the value named one of the six
    char overrideValue[24];  // as given: cut, unprintable characters as '?'
    const char* lacking;     // CannotRun: what the machine lacks
    char overrideLine[256];  // the line for standard error when refused, else empty
    Attempt attempts[kRowWidth + 1];  // the override's first, then the row's
    int attemptCount;
    int loadedVariant;  // -1 when none loaded
    platform::ModuleHandle module;
};

// Makes the choice for the machine: the variant ZENTAVOL_VARIANT names, if
// the machine can run it and it loads, else the walk along the machine's row.
// In a secure process (set-user-ID and the like) the variable is ignored, as
// the loader ignores LD_LIBRARY_PATH there: whoever starts such a program
// must not pick the code that runs with its privileges. A refused or ignored
// override's line goes to standard error at once when `tell`; nothing else
// is shown (no message when no variant loads).
platform::ModuleHandle chooseVariant(const Machine& machine, bool secureProcess, Choice* choice, bool tell);

// Probes the machine and loads its choice; when none loads, tells the user
// once and returns null.
platform::ModuleHandle loadVariant();

// 1 when the slot now holds the variant's function, else 0 after telling
// the user which name is missing; the slot is written either way.
int bindEntryPoint(platform::ModuleHandle module, void** slot, const char* name);

// Fills the slots in binding-table order and stops at the first failure:
// 1 when all sixteen are filled, else 0.
int bindEntryPoints(platform::ModuleHandle module);

}  // namespace qel::front

// The front library's notifications (the reasons of platform/process_events.h):
// false when process attach failed, which must fail the front library's load.
bool qelFrontNotify(int reason);

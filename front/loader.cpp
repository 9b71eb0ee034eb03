// SPDX-License-Identifier: MIT
// The walk along a preference row, the binding of the sixteen slots, and what
// the front library does when a process loads and unloads it.
#include "front/loader.h"

#include <cstring>

#include "front/probe.h"
#include "front/tables.h"
#include "platform/process_events.h"

void* qelEntrySlots[kQelEntrySlotCount];

namespace qel::front {

platform::ModuleHandle variantModule = nullptr;

namespace {
constexpr char kNoVariantText[] = " No Zentavol DLL was found";
constexpr char kNoVariantCaption[] = "Load Zentavol error";
constexpr char kMissingFunctionFormat[] = "Unable to find function address %s\n";
constexpr char kMissingFunctionCaption[] = "Load DLL Error";
}  // namespace

int preferenceRowFor(int oldWindows, int processorClass) {
    if (oldWindows) return 0;
    if (processorClass < 0 || processorClass >= kClassCount) return 0;
    return processorClass;
}

namespace {

void tellNoVariant() {
    char message[256];
    std::memset(message, 0, sizeof message);
    std::memcpy(message, kNoVariantText, sizeof kNoVariantText);
    platform::messageBeep(platform::kMbIconHand);
    platform::messageBox(message, kNoVariantCaption, platform::kMbOk | platform::kMbIconHand);
}

// Loads one variant and records the attempt.
platform::ModuleHandle tryVariant(int variant, Choice* choice) {
    Attempt& attempt = choice->attempts[choice->attemptCount++];
    attempt.variant = variant;
    attempt.whyNot[0] = '\0';
    platform::ModuleHandle module = platform::loadLibrary(kVariantNames[variant]);
    attempt.loaded = module != nullptr;
    if (module == nullptr) platform::describeLoadFailure(attempt.whyNot, sizeof attempt.whyNot);
    return module;
}

// Walks the row; with a machine, passes over (never loads) a variant whose
// instructions it lacks: the rows assume conditional moves in every family-6
// processor, and a family-6 processor without them would otherwise run a
// build compiled with them into an illegal instruction.
platform::ModuleHandle walkRow(int row, const Machine* machine, Choice* choice) {
    const unsigned char* choices = kPreferenceRows[row];
    for (int i = 0; i < kRowWidth && choices[i] != kRowEnd; ++i) {
        if (const char* lacking = machine != nullptr ? missingForVariant(choices[i], *machine) : nullptr) {
            Attempt& attempt = choice->attempts[choice->attemptCount++];
            attempt.variant = choices[i];
            attempt.loaded = false;
            platform::formatText(attempt.whyNot, sizeof attempt.whyNot, "not tried: this machine lacks %s", lacking);
            continue;
        }
        if (platform::ModuleHandle module = tryVariant(choices[i], choice)) {
            choice->loadedVariant = choices[i];
            return module;
        }
    }
    return nullptr;
}

// The value as it may appear in a message: printable ASCII, cut short.
void copyShown(const char* value, char (&shown)[24]) {
    std::size_t i = 0;
    for (; value[i] != '\0' && i + 1 < sizeof shown; ++i)
        shown[i] = value[i] >= 0x20 && value[i] < 0x7F ? value[i] : '?';
    shown[i] = '\0';
    if (value[i] != '\0' && i >= 3) std::memcpy(shown + i - 3, "...", 3);
}

// Takes the override if it names a variant this machine can run and loads.
platform::ModuleHandle tryOverride(const Machine& machine, bool secureProcess, Choice* choice) {
    char value[64];
    if (!platform::getEnvironmentVariable(kOverrideVariable, value, sizeof value)) return nullptr;
    char* const line = choice->overrideLine;
    const std::size_t size = sizeof choice->overrideLine;
    std::size_t length = 0;
    const auto append = [&](const char* text) {
        length += static_cast<std::size_t>(platform::formatText(line + length, size - length, "%s", text));
    };
    append("Zentavol: ");
    append(kOverrideVariable);
    if (secureProcess) {
        // Neither loaded nor judged; the value is not shown, as it is not read.
        choice->overrideState = OverrideState::Ignored;
        append(" ignored: the process has privileges its caller lacks (set-user-ID or the like)");
        append("; the usual choice is made");
        return nullptr;
    }
    copyShown(value, choice->overrideValue);
    const int variant = variantOfCode(value);
    choice->overrideVariant = variant;
    append("=");
    append(choice->overrideValue);
    append(" refused: ");
    if (variant < 0) {
        choice->overrideState = OverrideState::Unknown;
        append("not one of ");
        append(kVariantCodeList);
    } else if ((choice->lacking = missingForVariant(variant, machine)) != nullptr) {
        // Never loaded: even its attach could run what this machine lacks.
        choice->overrideState = OverrideState::CannotRun;
        append("this machine lacks ");
        append(choice->lacking);
    } else if (platform::ModuleHandle module = tryVariant(variant, choice)) {
        choice->overrideState = OverrideState::Taken;
        choice->loadedVariant = variant;
        line[0] = '\0';
        return module;
    } else {
        choice->overrideState = OverrideState::Missing;
        append(kVariantNames[variant]);
        append(" did not load: ");
        append(choice->attempts[choice->attemptCount - 1].whyNot);
    }
    append("; the usual choice is made");
    return nullptr;
}

}  // namespace

platform::ModuleHandle loadVariantFromRow(int row) {
    Choice choice{};
    platform::ModuleHandle module = walkRow(row, nullptr, &choice);
    if (module == nullptr) tellNoVariant();
    return module;
}

platform::ModuleHandle chooseVariant(const Machine& machine, bool secureProcess, Choice* choice, bool tell) {
    std::memset(choice, 0, sizeof *choice);
    choice->overrideVariant = -1;
    choice->loadedVariant = -1;
    choice->processorClass = classOf(machine);
    choice->row = preferenceRowFor(machine.oldSystem, choice->processorClass);
    choice->module = tryOverride(machine, secureProcess, choice);
    if (tell && choice->overrideLine[0] != '\0') platform::writeErrorLine(choice->overrideLine);
    if (choice->module == nullptr) choice->module = walkRow(choice->row, &machine, choice);
    return choice->module;
}

platform::ModuleHandle loadVariant() {
    Choice choice;
    platform::ModuleHandle module = chooseVariant(probeMachine(), platform::isSecureProcess(), &choice, true);
    if (module == nullptr) tellNoVariant();
    return module;
}

int bindEntryPoint(platform::ModuleHandle module, void** slot, const char* name) {
    *slot = platform::getProcAddress(module, name);
    if (*slot != nullptr) return 1;
    char message[128];
    platform::formatText(message, sizeof message, kMissingFunctionFormat, name);
    platform::messageBeep(platform::kMbIconHand);
    platform::messageBox(message, kMissingFunctionCaption,
                         platform::kMbTaskModal | platform::kMbIconHand);
    return 0;
}

int bindEntryPoints(platform::ModuleHandle module) {
    for (const Binding* binding = kBindingTable; binding->slot != nullptr && binding->name != nullptr;
         ++binding) {
        if (!bindEntryPoint(module, binding->slot, binding->name)) return 0;
    }
    return 1;
}

}  // namespace qel::front

bool qelFrontNotify(int reason) {
    using namespace qel::front;
    switch (reason) {
        case QEL_PROCESS_ATTACH:
            variantModule = loadVariant();
            if (variantModule == nullptr) return false;
            // A variant that lacks a name stays recorded, so that the detach
            // of the failed load frees it.
            return bindEntryPoints(variantModule) != 0;
        case QEL_PROCESS_DETACH:
            if (variantModule != nullptr) {
                qel::platform::freeLibrary(variantModule);
                variantModule = nullptr;
            }
            return true;
        default:
            return true;
    }
}

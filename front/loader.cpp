// The walk along a preference row, the binding of the sixteen slots, and what
// the front library does when a process loads and unloads it. Linked by
// libZentavol.
#include "front/loader.h"

#include <cstring>

#include "front/probe.h"
#include "front/tables.h"
#include "runtime/lifecycle.h"

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
    if (processorClass < 0 || processorClass >= kVariantCount) return 0;
    return processorClass;
}

platform::ModuleHandle loadVariantFromRow(int row) {
    char message[256];
    std::memset(message, 0, sizeof message);
    const unsigned char* choices = kPreferenceRows[row];
    for (int i = 0; i < kRowWidth && choices[i] != kRowEnd; ++i) {
        if (platform::ModuleHandle module = platform::loadLibrary(kVariantNames[choices[i]]))
            return module;
    }
    std::memcpy(message, kNoVariantText, sizeof kNoVariantText);
    platform::messageBeep(platform::kMbIconHand);
    platform::messageBox(message, kNoVariantCaption, platform::kMbOk | platform::kMbIconHand);
    return nullptr;
}

platform::ModuleHandle loadVariant() {
    return loadVariantFromRow(preferenceRowFor(isOldWindows(), classifyProcessor()));
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

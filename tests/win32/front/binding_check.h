// SPDX-License-Identifier: MIT
// Shared by the programs of the front library's tests: which variant the
// process has loaded, and whether each of the front library's sixteen exports
// jumps to the function of the same name in it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "front/tables.h"

namespace zv::test {

using qel::front::kVariantNames;

// The index of the one variant loaded (in the front library's table), -1 for
// none, -2 for more than one.
inline int loadedVariant() {
    int found = -1;
    for (int i = 0; i < qel::front::kVariantCount; ++i) {
        if (GetModuleHandleA(kVariantNames[i]) == nullptr) continue;
        if (found != -1) return -2;
        found = i;
    }
    return found;
}

// Each export of the front library is one indirect jump through its entry
// slot (FF 25 and the slot's address; on x64 the slot's distance from the
// end of the 6-byte jump); the slot must hold what GetProcAddress gives for
// the same name in the variant. True when all sixteen do.
inline bool exportsJumpInto(HMODULE front, HMODULE variant) {
    static const char* const names[] = {
#define ZV_EXPORT(ordinal, name) #name,
#include "runtime/export_list.h"
#undef ZV_EXPORT
    };
    for (const char* name : names) {
        const auto* stub = reinterpret_cast<const unsigned char*>(GetProcAddress(front, name));
        if (stub == nullptr || stub[0] != 0xFF || stub[1] != 0x25) return false;
#if defined(_WIN64)
        std::int32_t distance;
        std::memcpy(&distance, stub + 2, sizeof distance);
        const void* slot = stub + 6 + distance;
#else
        std::uint32_t slotAddress;
        std::memcpy(&slotAddress, stub + 2, sizeof slotAddress);
        const void* slot = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(slotAddress));
#endif
        void* target;
        std::memcpy(&target, slot, sizeof target);
        if (target != reinterpret_cast<void*>(GetProcAddress(variant, name))) return false;
    }
    return true;
}

}  // namespace zv::test

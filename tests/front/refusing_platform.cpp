// SPDX-License-Identifier: MIT
// Fault injection for the variant builds of the front library's tests: the
// real generic variant, linked with --wrap so that its platform layer refuses
// the TLS slot (ZentavolRefuseTls) or the first context's memory
// (ZentavolRefuseContext) at process attach.
#include "platform/platform.h"

extern "C" {

qel::platform::TlsIndex refuseTlsSlot() asm("__wrap__ZN3qel8platform8tlsAllocEv");
qel::platform::TlsIndex refuseTlsSlot() { return qel::platform::kTlsOutOfIndexes; }

#if defined(__x86_64__)
void* refuseMemory(std::size_t) asm("__wrap__ZN3qel8platform18localAllocZeroInitEm");
#else
void* refuseMemory(std::size_t) asm("__wrap__ZN3qel8platform18localAllocZeroInitEj");
#endif
void* refuseMemory(std::size_t) { return nullptr; }
}

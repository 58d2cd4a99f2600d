#pragma once
#include <cstdint>

// 32-bit x86 only. Calls `function` with `count` 32-bit argument words pushed
// the way a caller pushes them (the first word nearest the return address)
// and answers what it returned in EAX. `bytesPopped` tells how many bytes of
// arguments the callee took off the stack itself: 0 for a cdecl function,
// 4 x count for a stdcall one. A caller that expects one convention and meets
// the other has its stack pointer moved under it; this makes that visible
// instead of silent.
extern "C" uint32_t TavoCallCountingPops(const void* function, const uint32_t* words, uint32_t count,
                                         int32_t* bytesPopped);

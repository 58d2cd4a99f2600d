#pragma once
#include <cstdint>

// The records the payment core library fills in, as its exports expect them:
// packed, little-endian, zero-filled by the caller before every call.
#pragma pack(push, 1)
struct TCoreAnswer {
  int32_t operationType;     // 0 statistics, 1 payment, 3 refund or cancellation, 7 reconciliation
  int32_t amount;            // kopecks
  char responseCode[3];      // decimal digits, no terminator
  char message[16];          // no terminator
  uint8_t reserved[4];
  // A NUL-terminated cheque or report text that the library owns; the caller
  // copies it. On the 32-bit product this is the 4-byte field at offset 31
  // that makes the record 35 bytes; 64-bit test builds widen it.
  const char* text;
};

// The extended record: a TCoreAnswer at its start, room behind it that only
// the library uses.
struct TCoreAnswerEx {
  TCoreAnswer answer;
  uint8_t extension[108 - 31 - 4];
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TCoreAnswer) == 35, "the library's answer record is 35 bytes");
static_assert(sizeof(TCoreAnswerEx) == 108, "the library's extended record is 108 bytes");
#endif

// The library's exports, all cdecl.
extern "C" {
using TTestPinpad = int32_t(__cdecl*)();
using TServiceMenu = int32_t(__cdecl*)(TCoreAnswer* answer);
using TCloseDay = int32_t(__cdecl*)(TCoreAnswer* answer);
using TCardAuthorize6 = int32_t(__cdecl*)(void* reserved, TCoreAnswerEx* answer);
using TGetTerminalId = int32_t(__cdecl*)(char* terminalId);
using TGetStatistics = int32_t(__cdecl*)(TCoreAnswer* answer);
using TReadCardFull = int32_t(__cdecl*)(char* cardNumber, char* expiry);
}

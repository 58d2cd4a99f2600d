#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection,
// no final XOR. Every frame on the PIN pad's line carries it.
uint16_t SerialCrc16(const uint8_t* bytes, size_t length);

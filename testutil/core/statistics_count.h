#pragma once
#include <cstdint>
#include <string>

// The number of operations a statistics report of the payment core counts:
// every digit, in order, of its first line that holds "операций:" (0 when no
// line holds it or the line has no digit); -1 when the number does not fit 32
// bits.
int32_t CountFromStatistics(const std::wstring& report);

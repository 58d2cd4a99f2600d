#pragma once
#include <string>

// How a card read shows the card.

// Blanks before the 5th, the 10th and the 15th character of the growing text,
// so that 16 digits show as four groups of four; a text too short for a blank
// gets it at its end.
std::wstring FormatCardNumber(const std::wstring& cardNumber);

// Month "/" year from an expiry written year first: the last two characters,
// "/", the first two (2712 shows as 12/27). An expiry shorter than four
// characters cannot be told apart into month and year and shows as it is.
std::wstring FormatExpiry(const std::wstring& expiry);

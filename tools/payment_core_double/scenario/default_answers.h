#pragma once
#include <string>

#include "answer.h"

// What the payment core answers where the scenario is silent: success, and
// the texts a Russian installation prints, in code page 1251.
extern const char kDefaultCard[];
extern const char kDefaultExpiry[];
extern const char kDefaultTerminal[];

std::string DefaultResponseCode(int32_t result);
std::string DefaultMessage(int32_t result);

// The cheque or report of `operation`, printed with the answer's amount,
// card and terminal.
std::string DefaultText(TOperation operation, const TAnswer& answer);

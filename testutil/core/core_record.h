#pragma once
#include <cstdint>
#include <string>

// The library's answer record (TCoreAnswer of core_answer.h, or the
// TCoreAnswer at the start of a TCoreAnswerEx) as the logic sees it, free of
// the 32-bit layout and the calling convention, so that it builds and is
// tested everywhere.
//
// The window side fills a zeroed TCoreAnswer with operationType and amount,
// calls the export, and copies every field back: responseCode and message as
// their 3 and 16 bytes, text as a copy of the NUL-terminated text the
// record's pointer designates (empty for a null pointer).
struct TCoreRecord {
  int32_t operationType = 0;
  int32_t amount = 0;
  std::string responseCode;
  std::string message;
  std::string text;
};

// The response code as a number. A code that is not a decimal number is an
// answer the program cannot go on from: it throws TUnexpectedError.
int32_t ResponseCodeOf(const TCoreRecord& record);

// A fixed-size text field of the record ends at its first NUL byte.
std::string FieldText(const std::string& field);

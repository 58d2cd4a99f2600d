#pragma once
#include <optional>
#include <string>

// How long the PIN pad is given to answer before its reply is collected.
constexpr unsigned kPinpadAnswerWaitMs = 500;

// One probe exchange with a PIN pad on a serial port ("COM3"): the command's
// characters go out framed as STX, command, ETX, ETX at 9600 baud 8N1, and
// the reply comes back as the raw bytes that arrived (empty when the PIN pad
// is silent). Decoding the reply is the caller's business. Nothing when the
// port cannot be opened or set up, or a write or read fails; the port is
// closed again in every case.
std::optional<std::string> ExchangePinpadCommand(const std::wstring& port,
                                                 const std::string& command);

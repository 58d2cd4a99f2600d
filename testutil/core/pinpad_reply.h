#pragma once
#include <optional>
#include <string>
#include <vector>

// The PIN pad's probe exchange on its serial port: a command of hexadecimal
// digits goes out as text in a frame, the reply comes back as hexadecimal text
// between a leading and a trailing byte.

// The command that asks for the serial number and the key status.
extern const char kStatusCommand[];

enum class PinpadKey { Pin, Mac };

// "E9010000EA" for the PIN key, "E9010001EB" for the MAC key.
std::string DeleteKeyCommand(PinpadKey key);

// STX, the command's characters as they are, ETX, ETX.
std::string PinpadRequestFrame(const std::string& command);

// The raw reply's characters from the second on, read in pairs as hex digits
// up to the last byte (the last byte, and a single character left before it,
// are not read). Nothing when a pair holds a character that is no hex digit.
std::optional<std::string> DecodeHexReply(const std::string& raw);

// The digits and the letters G, K, A, B, D (either case) of every decoded byte
// but the last, in order.
std::wstring ExtractSerialNumber(const std::string& decoded);

// What "Состояние" shows for a decoded status reply (nothing = the exchange
// failed): "S/N: …", an empty line, then "PIN: НЕТ"/"PIN: ЕСТЬ", MAC and KLK
// from bytes 16, 17 and 18 ("c" means the key is missing). A shorter reply
// shows only the keys whose byte it holds; an empty one is a port error.
std::vector<std::wstring> KeyStatusLines(const std::optional<std::string>& decoded);

// What "Удалить" shows for the decoded reply to a deletion: the key is gone
// only when the PIN pad answers exactly 00 00 00 02.
std::wstring KeyDeletionText(PinpadKey key, const std::optional<std::string>& decoded);

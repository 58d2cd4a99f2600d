#pragma once
#include <string>
#include <vector>

// The computer's serial ports by name ("COM1", ...), as the system's serial
// port map lists them, in the map's order. Empty when the map is missing or
// cannot be read.
std::vector<std::wstring> ListSerialPorts();

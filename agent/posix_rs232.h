#pragma once
#include <termios.h>

#include <cstddef>

#include "rs232_interface.h"

// Turns a terminal's settings into those of a serial port: always a raw byte
// channel without flow control, as a Windows serial port is; character
// format and speed as the settings ask. Settings the terminal cannot take
// (an unknown rate or character size) leave the previous format and speed,
// as a Windows driver that refuses a line state keeps the old one.
void SetRS232LineSettings(termios* line, const TRS232Settings& settings);

// Bytes a terminal holds for reading; 0 when it cannot tell.
size_t TerminalBytesWaiting(int fd);

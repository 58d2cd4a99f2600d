#pragma once

// Teaches the device layer the agent's own devices: the serial port (type
// 12) and the serial network interface on a COM port (types 15 and 16).
// Called once, before the agent asks for any device.
void RegisterAgentDevices();

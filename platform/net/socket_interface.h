#pragma once
#include "net/network.h"

class IFileSystem;

// The PC's network interface over its own sockets (defined per operating
// system). Connections get a log file in logFileSystem while the trace flag
// is set.
INetworkInterface* NewPlatformEthernetInterface(IFileSystem* logFileSystem);

#pragma once
#include <cstdint>
#include <string>

// Blocking sockets with time limits, bound to 127.0.0.1 only, for the test
// side of an HTTP exchange. Kept apart from the platform's own socket code,
// which is what the tests exercise.
using TLoopbackSocket = uintptr_t;
constexpr TLoopbackSocket kNoLoopbackSocket = ~TLoopbackSocket(0);

// Listens on a port the system chooses; the port is stored in *port.
TLoopbackSocket ListenOnLoopback(uint16_t* port);
// The accepted socket, or kNoLoopbackSocket when no one came in time.
TLoopbackSocket AcceptWithin(TLoopbackSocket listening, int milliseconds);
// Bytes read; 0 when nothing came in time; negative once the other side
// has closed or the socket failed.
int ReceiveWithin(TLoopbackSocket socket, char* buffer, int size, int milliseconds);
// False when the other side stopped taking data.
bool SendAll(TLoopbackSocket socket, const std::string& bytes);
// No more data from this side; the other side reads the end of the stream.
void ShutdownSending(TLoopbackSocket socket);
void CloseLoopbackSocket(TLoopbackSocket socket);

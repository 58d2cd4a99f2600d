#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "system/result.h"

// The server's certificate, as the handshake gave it, checked by the program
// itself: the chain must end in a trusted root (the CA file's certificates
// alone when `caRoots` is given, else the system's), every certificate of it
// must be in its validity time, and the leaf must be for `serverName`.
// Success, or a TLS result code with *reason saying why.
TResult CheckServerCertificate(PCCERT_CONTEXT leaf, const std::string& serverName, HCERTSTORE caRoots,
                               std::string* reason);

// A memory store with every certificate of a PEM file. Null with *reason
// set when the file cannot be read or holds none.
HCERTSTORE LoadCaFile(const std::string& path, std::string* reason);

#pragma once
#include <cstdint>
#include <string>

#include "files/byte_buffer.h"
#include "files/file_system.h"

struct TFileDigest {
  TByteBuffer sha1;  // 20 bytes
  uint32_t size = 0;
};

// The SHA-1 of a file's content, read in pieces so that a file of any size
// costs a fixed amount of memory. False when the file cannot be opened or
// read; an empty name (the directory itself) is never opened.
bool DigestFile(IFileSystem& files, const std::string& name, TFileDigest* digest);

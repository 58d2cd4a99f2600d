#pragma once
#include <cstdint>

// Open modes: a bit set; the first matching bit in the order 8, 16, 4, 2
// decides how the file is opened.
enum : uint32_t {
  OPEN_READ = 1,
  OPEN_READ_WRITE = 2,
  OPEN_CREATE = 4,
  OPEN_CREATE_TRUNCATE = 8,
  OPEN_CREATE_APPEND = 16,
};

class IFileReadable {
 public:
  virtual ~IFileReadable() = default;
  virtual int32_t Read(void* buffer, uint32_t count) = 0;
  virtual int32_t Seek(uint32_t position) = 0;
  virtual int32_t Tell() = 0;
  virtual uint32_t GetSize() = 0;
};

class IFileWritable : public IFileReadable {
 public:
  virtual int32_t Write(const void* buffer, uint32_t count) = 0;
};

// A file open on a standard-library descriptor; destroying it closes it.
class TPCFile : public IFileWritable {
 public:
  TPCFile(int descriptor, const char* name);
  ~TPCFile() override;
  int32_t Read(void* buffer, uint32_t count) override;
  int32_t Seek(uint32_t position) override;
  int32_t Tell() override;
  uint32_t GetSize() override;
  int32_t Write(const void* buffer, uint32_t count) override;
  const char* GetName() const { return name_; }

 private:
  int descriptor_;
  char name_[260];
};

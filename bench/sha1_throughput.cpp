// Measures how fast the updater hashes: SHA-1 over a buffer in memory, fed
// in 64 KiB pieces as DigestFile feeds it, with the portable block code and
// with the processor's SHA instructions (where it has them), then, when a
// file is named, the whole DigestFile path with the block code the updater
// chooses (reads through the platform's file system included), the way the
// updater compares installed files with the server's list.
// sha1_throughput.sh makes a file, runs this, sha1sum and openssl on it side
// by side.
//
// usage: sha1_throughput [--memory MIB] [FILE]
//   --memory MIB: size of the buffer hashed in memory (default 256, 0 = skip)
//   FILE: a file to digest through DigestFile; its digest is printed in
//         lower-case hex, as sha1sum prints it, so that the two can be compared
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "file_digest.h"
#include "files/file_system.h"
#include "sha1.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kPiece = 64 * 1024;

const char kUsage[] =
    "usage: sha1_throughput [--memory MIB] [FILE]\n"
    "  --memory MIB: buffer hashed in memory, in MiB (default 256, 0 = skip)\n"
    "  FILE: a file to digest through DigestFile as well\n";

// The platform file system needs a folder beside the program; the file to
// measure lies anywhere, so this one is rooted in the file's own folder.
// Sizes are read through the file itself, which works on every platform.
class TFolderFileSystem final : public TPCFileSystem {
 public:
  explicit TFolderFileSystem(const std::string& folder) : TPCFileSystem(folder.c_str()) {}
  uint32_t GetFreeSpace() override { return 0; }
  uint32_t GetFileSize(const char* name) override {
    std::unique_ptr<IFileReadable> file(OpenRead(name));
    return file ? file->GetSize() : 0;
  }
};

std::string LowerHex(const TByteBuffer& digest) {
  std::string hex = digest.ToHex();
  std::transform(hex.begin(), hex.end(), hex.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return hex;
}

void Report(const char* what, uint64_t bytes, double seconds, const TByteBuffer& digest) {
  const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
  std::printf("%s: %llu bytes in %.3f s, %.1f MB/s, sha1 %s\n", what, static_cast<unsigned long long>(bytes),
              seconds, rate, LowerHex(digest).c_str());
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void MeasureMemory(size_t mebibytes, TSha1Blocks blocks, const char* what) {
  const size_t size = mebibytes * 1024 * 1024;
  std::vector<uint8_t> buffer(size);
  // Content does not change the work SHA-1 does, but a buffer of zeros
  // might be backed by one shared page; every byte is written for real.
  uint32_t state = 2463534242u;
  for (uint8_t& byte : buffer) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state);
  }
  TSha1 sha1(blocks);
  const Clock::time_point start = Clock::now();
  for (size_t offset = 0; offset < size; offset += kPiece) {
    sha1.Update(buffer.data() + offset, std::min(kPiece, size - offset));
  }
  const TByteBuffer digest = sha1.Final();
  Report(what, size, SecondsSince(start), digest);
}

bool MeasureFile(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? "." : path.substr(0, std::max<size_t>(cut, 1));
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  TFolderFileSystem files(folder);
  TFileDigest digest;
  const Clock::time_point start = Clock::now();
  if (!DigestFile(files, name, &digest)) {
    std::fprintf(stderr, "sha1_throughput: %s cannot be read\n", path.c_str());
    return false;
  }
  const char* what = ChosenSha1Blocks() == Sha1BlocksPortable ? "file, portable code" : "file, SHA instructions";
  Report(what, digest.size, SecondsSince(start), digest.sha1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  size_t mebibytes = 256;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--memory" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(argv[++i], &end, 10);
      if (*argv[i] < '0' || *argv[i] > '9' || *end != '\0' || value > 4095) {
        std::fputs(kUsage, stderr);
        return 1;
      }
      mebibytes = value;
    } else if (arg.compare(0, 1, "-") == 0 || !file.empty()) {
      std::fputs(kUsage, stderr);
      return 1;
    } else {
      file = arg;
    }
  }
  if (mebibytes != 0) {
    MeasureMemory(mebibytes, Sha1BlocksPortable, "memory, portable code");
    if (const TSha1Blocks fast = Sha1BlocksWithShaInstructions()) {
      MeasureMemory(mebibytes, fast, "memory, SHA instructions");
    } else {
      std::printf("memory, SHA instructions: this processor has none\n");
    }
  }
  if (!file.empty() && !MeasureFile(file)) return 2;
  return 0;
}

#include "file_digest.h"

#include <memory>

#include "sha1.h"

bool DigestFile(IFileSystem& files, const std::string& name, TFileDigest* digest) {
  if (name.empty()) return false;
  std::unique_ptr<IFileReadable> file(files.OpenRead(name.c_str()));
  if (!file) return false;
  digest->size = file->GetSize();
  TSha1 sha1;
  static constexpr uint32_t kPiece = 64 * 1024;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  for (;;) {
    const int32_t count = file->Read(piece.get(), kPiece);
    if (count < 0) return false;
    if (count == 0) break;
    sha1.Update(piece.get(), static_cast<size_t>(count));
  }
  digest->sha1 = sha1.Final();
  return true;
}

#include "file_list.h"

#include <memory>

#include "file_digest.h"
#include "files/ini_file.h"
#include "sha1.h"

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
  const std::string tail(suffix);
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TFileList::TFileList(IFileSystem* fileSystem) : listName_("filelist.txt"), files_(fileSystem) {}

bool TFileList::Load() {
  names_.clear();
  iterating_ = false;
  lastName_.clear();
  std::unique_ptr<IFileReadable> file(files_->OpenRead(listName_.c_str()));
  if (!file) return false;
  TByteBuffer content;
  content.ReadAll(*file);
  file.reset();
  TLineReader reader(content, kMaxLineLength);
  std::string line;
  while (reader.ReadLine(line)) {
    if (!line.empty()) names_.insert(line);
  }
  return true;
}

void TFileList::Add(const std::string& name) { names_.insert(name); }

std::string TFileList::NextName() {
  const auto next = iterating_ ? names_.upper_bound(lastName_) : names_.begin();
  if (next == names_.end()) return std::string();
  iterating_ = true;
  lastName_ = *next;
  return lastName_;
}

TFileList::TFileHash TFileList::HashFile(const std::string& name) {
  TFileHash result;
  TFileDigest digest;
  bool opened = DigestFile(*files_, name, &digest);
  // An update staged as "x.new" whose file has already been put in place is
  // hashed from "x".
  if (!opened && name.size() >= 5 && EndsWith(name, ".new")) {
    opened = DigestFile(*files_, name.substr(0, name.size() - 4), &digest);
  }
  if (opened && digest.size != 0) {
    result.hash = digest.sha1;
    result.size = digest.size;
    return result;
  }
  // Files kept out of the directory (or emptied) stand in by their stored
  // digest.
  std::unique_ptr<IFileReadable> storedFile(files_->OpenRead((name + ".hsh").c_str()));
  TByteBuffer stored;
  if (storedFile) stored.ReadAll(*storedFile);
  result.hash = stored.Length() == TSha1::kDigestSize ? stored : TSha1::Digest(TByteBuffer());
  return result;
}

TByteBuffer TFileList::CombinedHash() {
  TByteBuffer sum(TSha1::kDigestSize);
  uint8_t* bytes = sum.MutableData();
  Load();
  for (std::string name = NextName(); !name.empty(); name = NextName()) {
    const TFileHash file = HashFile(name.substr(0, name.find('=')));
    for (size_t i = 0; i < TSha1::kDigestSize; ++i) bytes[i] = static_cast<uint8_t>(bytes[i] + file.hash[i]);
  }
  return sum;
}

TResult TFileList::Save() {
  // Written whole under a work name first, then put in place in one step:
  // the list never names half of its files, whatever stops the writing.
  std::unique_ptr<IFileWritable> file(files_->OpenWrite(kWorkName, OPEN_CREATE | OPEN_CREATE_TRUNCATE));
  if (!file) return TResult(RESULT_FILE_LIST_SAVE_FAILED).Append(files_->GetLastResult());
  bool written = true;
  for (const std::string& name : names_) {
    const std::string line = name + "\r\n";
    const int32_t count = file->Write(line.data(), static_cast<uint32_t>(line.size()));
    written = written && count == static_cast<int32_t>(line.size());
  }
  file.reset();
  if (!written) {
    files_->Remove(kWorkName);
    return TResult(RESULT_FILE_LIST_SAVE_FAILED);
  }
  const TResult placed = files_->Replace(kWorkName, listName_.c_str());
  if (placed.Succeeded()) return placed;
  files_->Remove(kWorkName);
  return TResult(RESULT_FILE_LIST_SAVE_FAILED).Append(placed);
}

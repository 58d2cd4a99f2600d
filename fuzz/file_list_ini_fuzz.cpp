// The updater's file list and the configuration reader: a list saved and
// loaded again holds the same names (whatever list file it was loaded from
// first), a file's hash is the SHA-1 of its content, lines never carry a
// line break, and every key written to a configuration file reads back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "file_list.h"
#include "files/ini_file.h"
#include "fuzz_check.h"
#include "fuzz_folder.h"
#include "sha1.h"

namespace {

TFuzzFolder& Folder() {
  static TFuzzFolder folder("file_list_ini_fuzz");
  return folder;
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Any list file: what it loads as saves and loads again unchanged, and no
// name is empty, longer than a list line or holds a line break.
void CheckListFileReloads(const std::string& content) {
  Folder().Write("filelist.txt", content);
  TFileList list(&Folder().Files());
  FUZZ_CHECK(list.Load());
  const std::set<std::string> loaded = list.Names();
  for (const std::string& name : loaded) {
    FUZZ_CHECK(!name.empty() && name.size() <= TFileList::kMaxLineLength);
    for (char c : name) FUZZ_CHECK(!IsLineBreak(c));
  }
  FUZZ_CHECK(list.Save().Succeeded());
  TFileList again(&Folder().Files());
  FUZZ_CHECK(again.Load() && again.Names() == loaded);
  std::set<std::string> iterated;
  for (std::string name = again.NextName(); !name.empty(); name = again.NextName()) iterated.insert(name);
  FUZZ_CHECK(iterated == loaded);
}

// Names a list can hold (no line break, no more than a line) survive a save
// and a load; the hash of a file in the list is the SHA-1 of its content.
void CheckNamesSurviveSave(FuzzedDataProvider& input) {
  TFileList list(&Folder().Files());
  std::set<std::string> names;
  const int count = input.ConsumeIntegralInRange(0, 20);
  for (int i = 0; i < count; ++i) {
    std::string name = input.ConsumeRandomLengthString(TFileList::kMaxLineLength);
    for (char& c : name) {
      if (IsLineBreak(c)) c = '_';
    }
    if (name.empty()) continue;
    list.Add(name);
    names.insert(name);
  }
  FUZZ_CHECK(list.Save().Succeeded());
  TFileList loaded(&Folder().Files());
  FUZZ_CHECK(loaded.Load() && loaded.Names() == names);

  const std::string content = input.ConsumeRandomLengthString(3000);
  Folder().Write("hashed.bin", content);
  const TFileList::TFileHash hash = loaded.HashFile("hashed.bin");
  if (content.empty()) {
    FUZZ_CHECK(hash.hash.Length() == TSha1::kDigestSize);
  } else {
    FUZZ_CHECK(hash.size == content.size());
    FUZZ_CHECK(hash.hash.ToHex() == TSha1::Digest(TByteBuffer(content)).ToHex());
  }
}

// Line reading of any text, with and without a longest line.
void CheckLines(const std::string& text, size_t longest) {
  TLineReader reader(TByteBuffer(text), longest);
  std::string line;
  size_t lines = 0;
  while (reader.ReadLine(line)) {
    FUZZ_CHECK(++lines <= text.size());
    FUZZ_CHECK(longest == 0 || line.size() <= longest);
    for (char c : line) FUZZ_CHECK(!IsLineBreak(c));
    FUZZ_CHECK(reader.Position() <= text.size());
  }
}

// A key as configuration files hold them: no separator, line break or blank
// in it, and not the start of a section header.
std::string ConsumeKey(FuzzedDataProvider& input) {
  std::string key = input.ConsumeRandomLengthString(10);
  for (char& c : key) {
    if (IsLineBreak(c) || c == '=' || c == ':' || c == ' ' || c == '\t' || c == ',') c = 'k';
  }
  if (key.empty() || key[0] == '[') key.insert(0, "K");
  return key;
}

// Keys written before any section read back as the first value written for
// them, whatever lines follow under a section header; numbers read back as
// numbers; any other key gets its fallback.
void CheckIniReadsBack(FuzzedDataProvider& input) {
  std::map<std::string, std::string> values;
  std::string text;
  const int count = input.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < count; ++i) {
    const std::string key = ConsumeKey(input);
    std::string value = input.ConsumeRandomLengthString(30);
    for (char& c : value) {
      if (IsLineBreak(c)) c = 'v';
    }
    // The value starts at the first character that is no separator.
    while (!value.empty() && std::string(":,= \t").find(value[0]) != std::string::npos) value.erase(0, 1);
    if (input.ConsumeBool()) value = std::to_string(input.ConsumeIntegralInRange<int32_t>(0, INT32_MAX));
    text += key + (input.ConsumeBool() ? "=" : ":") + (input.ConsumeBool() ? " " : "") + value;
    text += input.ConsumeBool() ? "\r\n" : "\n";
    values.emplace(key, value);
  }
  text += "[section]\r\n" + input.ConsumeRemainingBytesAsString();
  const TIniFile ini("fuzz.ini", TByteBuffer(text));
  for (const auto& [key, value] : values) {
    FUZZ_CHECK(ini.GetValue(key.c_str(), "fallback") == value);
    const bool digits = !value.empty() && value.size() <= 9 && value.find_first_not_of("0123456789") == std::string::npos;
    if (digits) FUZZ_CHECK(ini.GetInt(key.c_str()) == std::stoi(value));
  }
  FUZZ_CHECK(ini.GetValue("[section]", "fallback") == "fallback");
}

// Any text and any key: a value found is part of one of the text's lines
// (whose NUL characters the reader skips).
void CheckIniAnyText(FuzzedDataProvider& input) {
  const std::string key = input.ConsumeRandomLengthString(12);
  const std::string section = input.ConsumeRandomLengthString(12);
  const std::string text = input.ConsumeRemainingBytesAsString();
  const TIniFile ini("fuzz.ini", TByteBuffer(text));
  std::string withoutNul = text;
  withoutNul.erase(std::remove(withoutNul.begin(), withoutNul.end(), '\0'), withoutNul.end());
  const std::string value = ini.GetValue(key.c_str(), "\n");
  FUZZ_CHECK(value == "\n" || withoutNul.find(value) != std::string::npos);
  ini.GetValue(section.c_str(), key.c_str(), "");
  FUZZ_CHECK(ini.GetInt(key.c_str()) >= 0);
  CheckLines(text, 0);
  CheckLines(text, TFileList::kMaxLineLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      CheckListFileReloads(input.ConsumeRemainingBytesAsString());
      break;
    case 1:
      CheckNamesSurviveSave(input);
      break;
    case 2:
      CheckIniReadsBack(input);
      break;
    default:
      CheckIniAnyText(input);
      break;
  }
  return 0;
}

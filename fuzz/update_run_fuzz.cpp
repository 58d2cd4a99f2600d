// A whole update run of the updater's own code against an update server and
// a disk in memory, with the server's release, the installation, what the
// server sends and the faults of the disk and the network taken from the
// input. Whatever the server lists or sends, nothing is written outside the
// library's folder and its Update folder or under a name Windows takes for a
// device, a file changes only to a body whose SHA-1 its listing gives (and,
// for a release listed by the server, to exactly the listed body), no
// installed file goes missing, and no work file outlives the run.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "environment.h"
#include "fake_network.h"
#include "fake_update_server.h"
#include "fake_updater_system.h"
#include "files/byte_buffer.h"
#include "fuzz_check.h"
#include "http/system_tracer.h"
#include "memory_file_system.h"
#include "sha1.h"
#include "update_session.h"

namespace {

using TFiles = std::map<std::string, std::string>;

const char kUpdateFolder[] = "Update/";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Files the updater keeps for itself in a folder, its settings and its work
// files: never part of a release.
bool IsUpdatersOwn(const std::string& nameInFolder) {
  const std::string name = Upper(nameInFolder);
  return name == "QETRACE.TXT" || name == "FILELIST.TXT" || name == "FILELIST.TMP" || name == "TMP.TMP" ||
         name == "CONFIG.INI" || name == "TMP.PRT" || name == "PART.TMP" || name == "PART.PRT";
}

// Windows opens a device, not a file, for these names whatever follows the
// first dot and whatever blanks end the name before it.
bool NamesADevice(const std::string& component) {
  std::string base = Upper(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$" || base == "CLOCK$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         std::isdigit(static_cast<unsigned char>(base[3]));
}

// A name on the memory disk stays inside its folders: relative, no drive,
// no step up, no device.
bool StaysInside(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
    const std::string component = name.substr(start, i - start);
    if (component == ".." || NamesADevice(component)) return false;
    start = i + 1;
  }
  return true;
}

std::string Sha1Hex(const std::string& body) { return TSha1::Digest(TByteBuffer(body)).ToHex(); }

// A file name as a server might list it: mostly plain, sometimes with the
// separators, steps up and device names that must be refused.
std::string ConsumeName(FuzzedDataProvider& input) {
  static const char* const kParts[] = {"agent.exe", "cfg.bin", "..", "CON", "com1.txt", "sub", "a.new", ""};
  std::string name;
  const int parts = input.ConsumeIntegralInRange(1, 3);
  for (int i = 0; i < parts; ++i) {
    if (i > 0) name += input.ConsumeBool() ? "/" : "\\";
    name += input.ConsumeBool() ? std::string(kParts[input.ConsumeIntegralInRange<size_t>(0, 7)])
                                : input.ConsumeRandomLengthString(12);
  }
  return name;
}

void ConsumeRelease(FuzzedDataProvider& input, TFiles& listed, TFiles& installed, const std::string& folder) {
  const int count = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i) {
    const std::string name = ConsumeName(input);
    if (IsUpdatersOwn(name)) continue;
    listed[name] = input.ConsumeRandomLengthString(300);
    // The installation may hold an older version, the same one, or none.
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0:
        installed[folder + name] = input.ConsumeRandomLengthString(40);
        break;
      case 1:
        installed[folder + name] = listed[name];
        break;
      default:
        break;
    }
  }
}

// What a server that sends other bytes than it lists does to a download's
// body: a byte changed, the body cut short or made longer.
std::string Tamper(const std::string& answer, int how, uint8_t byte) {
  const size_t head = answer.find("\r\n\r\n");
  if (how == 0 || head == std::string::npos || answer.compare(0, 12, "HTTP/1.1 200") != 0) return answer;
  std::string body = answer.substr(head + 4);
  if (how == 1 && !body.empty()) body[body.size() / 2] = static_cast<char>(body[body.size() / 2] ^ (byte | 1));
  if (how == 2 && !body.empty()) body.pop_back();
  if (how == 3) body.push_back(static_cast<char>(byte));
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  TMemoryDisk disk;
  TFakeUpdateServer server;
  const bool scripted = input.ConsumeBool();
  const int tamper = input.ConsumeIntegralInRange(0, 3);
  const uint8_t tamperByte = input.ConsumeIntegral<uint8_t>();
  if (input.ConsumeBool()) disk.faults.fullFromWrite = input.ConsumeIntegralInRange<uint32_t>(1, 40);
  if (input.ConsumeBool()) disk.faults.refusedRename = input.ConsumeIntegralInRange<uint32_t>(1, 10);
  const uint64_t resetAtByte = input.ConsumeBool() ? input.ConsumeIntegralInRange<uint64_t>(1, 4000) : 0;

  TFiles installed;
  ConsumeRelease(input, server.ecrFiles, installed, "");
  ConsumeRelease(input, server.updateFiles, installed, kUpdateFolder);
  if (scripted) server.scriptedAnswer = input.ConsumeRemainingBytesAsString();
  installed["CONFIG.INI"] = "HostURL=10.0.0.5:8080\r\n";
  disk.files = installed;

  uint64_t clock = 0;
  TFakeNetwork network(
      [&](const std::string& request) {
        const bool download = request.compare(0, 4, "GET ") == 0;
        const std::string answer = server.Respond(request);
        return download ? Tamper(answer, tamper, tamperByte) : answer;
      },
      clock);
  network.resetAtByte = resetAtByte;
  TFakeUpdaterSystem system(disk, &network, clock);
  TSystemTracer tracer(system.GetAppFileSystem());
  TCorvoEnvironment terminal(system.GetAppFileSystem());
  {
    TUpdateSession session(TUpdaterContext{&system, &tracer, &terminal}, "12345678", "T1");
    session.Run();
  }

  for (const std::string& name : disk.namesWritten) FUZZ_CHECK(StaysInside(name));
  FUZZ_CHECK(disk.files.count("TMP.TMP") == 0 && disk.files.count("Update/TMP.TMP") == 0);
  FUZZ_CHECK(disk.files.count("filelist.tmp") == 0 && disk.files.count("Update/filelist.tmp") == 0);
  // An empty script leaves the server answering with its release.
  const bool listedByServer = server.scriptedAnswer.empty();
  const std::string answer = Upper(server.scriptedAnswer);
  for (const auto& [name, content] : disk.files) {
    const auto before = installed.find(name);
    const bool inUpdate = name.compare(0, sizeof kUpdateFolder - 1, kUpdateFolder) == 0;
    if (IsUpdatersOwn(inUpdate ? name.substr(sizeof kUpdateFolder - 1) : name) || (before != installed.end() && before->second == content)) continue;
    if (!listedByServer) {
      FUZZ_CHECK(answer.find(Upper(Sha1Hex(content))) != std::string::npos);
      continue;
    }
    // A name the library's folder lists may also lie in the Update folder.
    const auto listed = server.ecrFiles.find(name);
    bool matches = listed != server.ecrFiles.end() && listed->second == content;
    if (!matches && inUpdate) {
      const auto update = server.updateFiles.find(name.substr(sizeof kUpdateFolder - 1));
      matches = update != server.updateFiles.end() && update->second == content;
    }
    FUZZ_CHECK(matches);
  }
  // Nothing installed is ever lost.
  for (const auto& file : installed) FUZZ_CHECK(disk.files.count(file.first) == 1);
  return 0;
}

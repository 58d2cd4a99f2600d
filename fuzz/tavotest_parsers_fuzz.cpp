// TavoTest's parsers and files: the PIN pad's hexadecimal replies decode
// back to their bytes; the pay stack follows every confirmed payment even
// when its file refuses writes, and its file says what it holds once a write
// goes through; error_list finds a code's own line; and every cheque is
// filed under folders that stay inside the archive and that Windows keeps
// as written (no forbidden character, no trailing blank or dot, no device
// name).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "cheque_archive.h"
#include "cheque_text.h"
#include "error_texts.h"
#include "fuzz_check.h"
#include "log_lines.h"
#include "memory_file_store.h"
#include "pay_stack.h"
#include "pinpad_reply.h"
#include "text_lines.h"
#include "unexpected_error.h"
#include "window_services.h"

namespace {

const std::wstring kProgramDir = TMemoryFileStore::kProgramDir;

std::string Hex(const std::string& bytes, bool upper) {
  std::string text;
  for (unsigned char byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, upper ? "%02X" : "%02x", byte);
    text += pair;
  }
  return text;
}

void CheckPinpadReply(FuzzedDataProvider& input) {
  const bool upper = input.ConsumeBool();
  const std::string bytes = input.ConsumeRandomLengthString(64);
  const std::string raw = input.ConsumeRemainingBytesAsString();
  // A reply is a leading byte, the hexadecimal text and a trailing byte.
  const std::optional<std::string> decoded = DecodeHexReply("\x02" + Hex(bytes, upper) + "\x03");
  FUZZ_CHECK(decoded && *decoded == bytes);
  const std::optional<std::string> any = DecodeHexReply(raw);
  if (any) FUZZ_CHECK(any->size() == (raw.size() < 3 ? 0 : (raw.size() - 2) / 2));
  for (const std::optional<std::string>& reply : {decoded, any}) {
    const std::vector<std::wstring> lines = KeyStatusLines(reply);
    FUZZ_CHECK(!lines.empty() && lines.size() <= 5);
    if (reply) {
      for (wchar_t c : ExtractSerialNumber(*reply)) FUZZ_CHECK(c < 0x80);
    }
    KeyDeletionText(PinpadKey::Pin, reply);
    KeyDeletionText(PinpadKey::Mac, reply);
  }
}

// The stack's entries as a freshly started program reads them from the file.
std::vector<std::wstring> ListedFromFile(TMemoryFileStore& files) {
  TPayStack fresh(files, kProgramDir + L"pay_stack");
  TLogLines lines;
  fresh.ListPayments(lines, L",");
  return lines.Lines();
}

std::vector<std::wstring> Listed(TPayStack& stack) {
  TLogLines lines;
  stack.ListPayments(lines, L",");
  return lines.Lines();
}

// Any starting file, then payments, refunds, cancellations, reconciliations
// and restarts while writes fail now and then.
void CheckPayStack(FuzzedDataProvider& input) {
  TMemoryFileStore files;
  const std::wstring path = kProgramDir + L"pay_stack";
  if (input.ConsumeBool()) files.Put(path, input.ConsumeRandomLengthString(200));
  TPayStack stack(files, path);
  stack.LoadPayStack();
  const int operations = input.ConsumeIntegralInRange(0, 30);
  for (int i = 0; i < operations && input.remaining_bytes() > 0; ++i) {
    files.unwritable = input.ConsumeIntegralInRange(0, 3) == 0 ? kProgramDir : L"";
    const int32_t amount = input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(-2, 3) : input.ConsumeIntegral<int32_t>();
    const int32_t before = stack.CountPayments();
    const int writesBefore = files.writes;
    bool wrote = true;
    switch (input.ConsumeIntegralInRange(0, 5)) {
      case 0:
        try {
          stack.PushPayment(amount);
        } catch (const TUnexpectedError&) {
          wrote = false;
        }
        // The payment core took the payment: the stack holds it either way.
        FUZZ_CHECK(stack.CountPayments() == before + 1);
        break;
      case 1:
        try {
          stack.PopPayment(amount);
        } catch (const TUnexpectedError&) {
          wrote = false;
        }
        FUZZ_CHECK(stack.CountPayments() <= before);
        break;
      case 2: {
        int32_t chosen = 0;
        try {
          chosen = stack.CancelAmount();
        } catch (const TUnexpectedError&) {
          wrote = false;
          chosen = stack.CancelAmount();
        }
        FUZZ_CHECK(chosen == -1 || chosen >= 1);
        if (chosen == -1) FUZZ_CHECK(stack.CountPayments() == 0);
        continue;
      }
      case 3:
        if (stack.CanReconcile()) FUZZ_CHECK(stack.CountPayments() <= 1);
        continue;
      case 4:
        stack.ClearPayStack();
        FUZZ_CHECK(stack.CountPayments() == 0 && !files.Exists(path));
        continue;
      default:
        // A restart: the file is all that is left.
        stack.LoadPayStack();
        continue;
    }
    // A write that went through brings the file up to date with the stack.
    if (wrote && files.writes > writesBefore && files.Exists(path)) FUZZ_CHECK(Listed(stack) == ListedFromFile(files));
  }
}

void CheckErrorList(FuzzedDataProvider& input) {
  TMemoryFileStore files;
  const int32_t code = input.ConsumeIntegral<int32_t>();
  std::string text = input.ConsumeRandomLengthString(40);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const std::string rest = input.ConsumeRemainingBytesAsString();
  files.Put(kProgramDir + L"error_list", std::to_string(code) + "=" + text + "\r\n" + rest);
  const std::wstring found = GetErrorText(files, kProgramDir, code);
  FUZZ_CHECK(!found.empty());
  if (!text.empty()) FUZZ_CHECK(found == AnsiToWide(text));
  files.Put(kProgramDir + L"error_list", rest);
  FUZZ_CHECK(!GetErrorText(files, kProgramDir, code).empty());
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

// Windows opens a device for these names, with any extension and blanks
// before it.
bool IsWindowsDeviceName(const std::wstring& name) {
  std::wstring base = Upper(name.substr(0, name.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" || base == L"CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

// A name Windows keeps as written and that names a place inside its folder.
void CheckSafeName(const std::wstring& name) {
  FUZZ_CHECK(!name.empty() && name.size() <= kLongestFolderName + 1);
  for (wchar_t c : name) FUZZ_CHECK(c >= L' ' && std::wstring(L"\"*/:<>?\\|").find(c) == std::wstring::npos);
  FUZZ_CHECK(name.back() != L' ' && name.back() != L'.');
  FUZZ_CHECK(!IsWindowsDeviceName(name));
}

std::wstring ConsumeWide(FuzzedDataProvider& input, size_t longest) {
  std::wstring text;
  while (text.size() < longest && input.remaining_bytes() > 0) {
    // Mostly the characters cheques are made of, now and then any other.
    const uint8_t kind = input.ConsumeIntegral<uint8_t>();
    if (kind < 200) {
      text += static_cast<wchar_t>(input.ConsumeIntegralInRange<int>(0, 0x7F));
    } else if (kind < 250) {
      text += static_cast<wchar_t>(input.ConsumeIntegralInRange<int>(0x410, 0x44F));
    } else if (kind < 255) {
      text += static_cast<wchar_t>(input.ConsumeIntegralInRange<int>(0x80, 0xFFFF));
    } else {
      break;
    }
  }
  return text;
}

class TFixedRegionalTexts : public IRegionalTexts {
 public:
  explicit TFixedRegionalTexts(TMomentTexts now) : now_(std::move(now)) {}
  TMomentTexts Now() override { return now_; }
  std::wstring DecimalSeparator() override { return L","; }

 private:
  TMomentTexts now_;
};

// Any cheque text: the cleaned text ends every line with CR LF, and the
// cheque is filed under safe names inside the archive.
void CheckCheque(FuzzedDataProvider& input) {
  TMomentTexts now;
  now.date = ConsumeWide(input, 12);
  now.time = ConsumeWide(input, 12);
  const std::wstring text = ConsumeWide(input, 600);

  const std::wstring cleaned = CleanChequeText(text);
  FUZZ_CHECK(cleaned.empty() || cleaned.compare(cleaned.size() - 2, 2, L"\r\n") == 0);
  FUZZ_CHECK(CleanChequeText(cleaned) == cleaned);

  const std::wstring folderName = SanitizeFolderName(text);
  if (!folderName.empty()) CheckSafeName(folderName);

  TMemoryFileStore files;
  TFixedRegionalTexts regional(now);
  TLogLines log;
  log.Add(cleaned);
  TChequeArchive archive(files, regional, log, kProgramDir);
  archive.SaveCheque(cleaned, ChequeKind::Payment);
  FUZZ_CHECK(files.writes == (cleaned.empty() ? 0 : 1));
  const std::wstring root = kProgramDir + L"Cheque";
  for (const auto& [path, bytes] : files.Files()) {
    FUZZ_CHECK(path.compare(0, root.size() + 1, root + L"\\") == 0);
    size_t at = root.size() + 1;
    for (size_t slash = path.find(L'\\', at); slash != std::wstring::npos; slash = path.find(L'\\', at)) {
      CheckSafeName(path.substr(at, slash - at));
      at = slash + 1;
    }
    const std::wstring file = path.substr(at);
    FUZZ_CHECK(file.size() > 4 && file.compare(file.size() - 4, 4, L".txt") == 0);
    for (wchar_t c : file) FUZZ_CHECK(c >= L' ' && std::wstring(L"\"*/:<>?\\|").find(c) == std::wstring::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      CheckPinpadReply(input);
      break;
    case 1:
      CheckPayStack(input);
      break;
    case 2:
      CheckErrorList(input);
      break;
    default:
      CheckCheque(input);
      break;
  }
  return 0;
}

// tavotest-driver: runs a script of user actions and expectations against
// TavoTest. Usage: tavotest-driver [SCRIPT]; without SCRIPT, or with "-",
// the script comes from standard input. Exit code 0 when every command
// succeeded, 1 when one failed, 2 when the script cannot be read.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "driver_failure.h"
#include "script.h"
#include "win_driver.h"
#include "win_utf8.h"

namespace {

bool ReadAll(FILE* file, std::string* text) {
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
  return !ferror(file);
}

void Complain(const std::string& text) {
  const std::string line = "tavotest-driver: " + text + "\n";
  fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Output is UTF-8 with bare line feeds, whatever the console would make of it.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc > 2) {
    Complain("usage: tavotest-driver [SCRIPT]");
    return 2;
  }
  std::string text;
  const bool fromInput = argc < 2 || std::wstring(argv[1]) == L"-";
  if (fromInput) {
    _setmode(_fileno(stdin), _O_BINARY);
    if (!ReadAll(stdin, &text)) {
      Complain("cannot read the script from standard input");
      return 2;
    }
  } else {
    FILE* file = _wfopen(argv[1], L"rb");
    const bool read = file && ReadAll(file, &text);
    if (file) fclose(file);
    if (!read) {
      Complain("cannot read " + WideToUtf8(argv[1]));
      return 2;
    }
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  try {
    const std::vector<TScriptCommand> commands = ParseScript(text);
    TDriver driver(stdout);
    driver.Run(commands);
  } catch (const TScriptError& error) {
    Complain(error.what());
    return 2;
  } catch (const TDriverFailure& failure) {
    Complain(failure.what());
    return 1;
  }
  return 0;
}

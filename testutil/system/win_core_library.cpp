#include "core_library.h"

namespace {

// The export named name as a function pointer of type T, or null.
template <typename T>
T Resolve(HMODULE module, const char* name) {
  // The detour through the generic function pointer type keeps the compiler
  // from objecting to a cast between unrelated function types.
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool IsFullPath(const std::wstring& path) {
  return path.find(L'\\') != std::wstring::npos || path.find(L'/') != std::wstring::npos;
}

}  // namespace

bool TCoreLibrary::Load(const std::wstring& path) {
  Unload();
  // A library given by its full path finds the libraries it needs in its own
  // directory first, as it does when the payment core runs there itself. The
  // altered search order is defined for full paths only, so a bare name
  // takes the ordinary search.
  const DWORD flags = IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  module_ = LoadLibraryExW(path.c_str(), nullptr, flags);
  if (!module_) return false;
  entryPoints_.testPinpad = Resolve<TTestPinpad>(module_, "_TestPinpad");
  entryPoints_.serviceMenu = Resolve<TServiceMenu>(module_, "_ServiceMenu");
  entryPoints_.closeDay = Resolve<TCloseDay>(module_, "_close_day");
  entryPoints_.cardAuthorize6 = Resolve<TCardAuthorize6>(module_, "_card_authorize6");
  entryPoints_.getTerminalId = Resolve<TGetTerminalId>(module_, "_GetTerminalID");
  entryPoints_.getStatistics = Resolve<TGetStatistics>(module_, "_get_statistics");
  entryPoints_.readCardFull = Resolve<TReadCardFull>(module_, "_ReadCardFull");
  return true;
}

void TCoreLibrary::Unload() {
  entryPoints_ = TCoreEntryPoints();
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
}

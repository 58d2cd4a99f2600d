// A stand-in updater for the loader's own test: its result shows what the
// loader passed, 100 times the serial's length plus the model's, 99 for a
// null pointer. Built with FAKE_UPDATER_STDCALL it breaks the export's
// contract the way a wrongly declared library would.
#include <cstring>

#ifdef FAKE_UPDATER_STDCALL
#define FAKE_UPDATER_CONVENTION __stdcall
#else
#define FAKE_UPDATER_CONVENTION
#endif

namespace {

int LengthOrMarker(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 99; }

}  // namespace

extern "C" int FAKE_UPDATER_CONVENTION CheckForUpdates(const char* serialNumber, const char* model) {
  return 100 * LengthOrMarker(serialNumber) + LengthOrMarker(model);
}

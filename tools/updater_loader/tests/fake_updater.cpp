// A stand-in updater for the loader's own test: its result shows what the
// loader passed, 100 times the serial's length plus the model's, 99 for a
// null pointer.
#include <cstring>

namespace {

int LengthOrMarker(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 99; }

}  // namespace

extern "C" int CheckForUpdates(const char* serialNumber, const char* model) {
  return 100 * LengthOrMarker(serialNumber) + LengthOrMarker(model);
}

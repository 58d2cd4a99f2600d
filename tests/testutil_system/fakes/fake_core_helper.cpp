// A library that the fake payment core imports, as the real one imports its
// own: the core loads only when this is found beside it.
extern "C" __declspec(dllexport) int FakeCoreHelperAnswer() { return 42; }

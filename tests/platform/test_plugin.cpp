// A plug-in for the DynamicLibrary tests: one exported function, nothing else visible.

extern "C" __attribute__((visibility("default"))) int VarnelTestPluginAnswer(int value) {
  return value * 2 + 1;
}

__attribute__((visibility("hidden"))) int HiddenHelper() { return 7; }

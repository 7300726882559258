#pragma once
// What a fake picture plug-in counts; each exports it as FakeLog().

#include <cstddef>
#include <cstdint>

struct FakePluginLog {
  int getPluginInfo = 0;
  int isSupported = 0;
  int getPicture = 0;
  int getPreview = 0;
  int isSaveSupported = 0;
  int writeImage = 0;
  int openConfig = 0;
  void* lastWindow = nullptr;
  int asked = -1;   // what the host's AskInteger answered in OpenConfig (-1: no host)
  int answer = 0;   // the number it gave
  size_t lastInfoUsable = 0;  // what malloc_usable_size says of the last information block handed out
};

using FakeLogFunction = FakePluginLog* (*)();

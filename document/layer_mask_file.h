#pragma once
// Where the program keeps layer masks while they are off: each in its own region file
// "lm<number>.tmp" in the temporary folder.

#include <cstdint>
#include <string>

#include "core/layer_mask_list.h"
#include "core/region.h"

namespace varnel {

// Writes the mask into a new temporary region file with the prefix "lm"; answers the file's
// path, or an empty text when it cannot be written (no file is left then).
std::string WriteMaskFile(const Region& mask);

class MaskFileStore final : public MaskStore {
 public:
  std::string Keep(const Region& mask) override { return WriteMaskFile(mask); }
  int32_t Fetch(const std::string& path, Region& mask) const override;
  void Discard(const std::string& path) override;
};

// Makes the mask files this process's mask store. Every program that works with layers calls
// it once at start-up.
void InstallMaskFileStore();

}  // namespace varnel

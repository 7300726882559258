#include "document/layer_mask_file.h"

#include <unistd.h>

#include "document/region_file.h"
#include "platform/temp_file.h"

namespace varnel {

std::string WriteMaskFile(const Region& mask) {
  const uint32_t number = CreateTempFile("lm");
  if (number == 0) return {};
  const std::string path = TempFileName("lm", number);
  if (SaveRegionFile(path, mask) != 0) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

int32_t MaskFileStore::Fetch(const std::string& path, Region& mask) const { return LoadRegionFile(path, mask); }

void MaskFileStore::Discard(const std::string& path) { unlink(path.c_str()); }

void InstallMaskFileStore() {
  static MaskFileStore store;
  SetMaskStore(&store);
}

}  // namespace varnel

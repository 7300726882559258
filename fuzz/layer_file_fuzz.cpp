// Feeds arbitrary bytes to both layer-file readers. Whatever a reader accepts must save and
// read back to the same layers: attributes, pixels and mask rectangles. The reader that leaves
// pixels in the mapped file must accept what the whole reader accepts, with the same pixels.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/file_io.h"
#include "document/layer_file.h"
#include "document/layer_mask_file.h"
#include "fuzz/fuzz_files.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("layer_file_fuzz", what); }

// A name read from a file is written back as the bytes it was read as, so it comes back the
// same, shown and stored; a layer without a header keeps its default name.
bool SameName(const varnel::Layer& read, const varnel::Layer& again) {
  return again.Name() == read.Name() && (read.NameAsStored().empty() || again.NameAsStored() == read.NameAsStored());
}

bool SameLayer(const varnel::Layer& a, const varnel::Layer& b) {
  if (!SameName(a, b) || a.OffsetX() != b.OffsetX() || a.OffsetY() != b.OffsetY() ||
      a.Opacity() != b.Opacity() || a.BlendMode() != b.BlendMode() || a.IsVisible() != b.IsVisible() ||
      !(a.GetSize() == b.GetSize()))
    return false;
  const size_t bytes = static_cast<size_t>(a.Width()) * static_cast<size_t>(a.Height()) * 4;
  return std::memcmp(a.Bits(), b.Bits(), bytes) == 0;
}

void CheckRoundTrip(const varnel::LayerList& layers, const std::string& saved, bool chunked) {
  if (layers.empty()) return;
  varnel::LayerRefs refs;
  for (const auto& layer : layers) refs.push_back(layer.get());
  varnel::LayerList again;
  try {
    if (chunked) {
      varnel::ImageSurface preview;
      if (preview.Create({3, 2}) != 0) Fail("no preview");
      varnel::GridSettings grid;
      if (varnel::WriteLayerFile(saved, refs, 3, 2, preview, grid) != 0) Fail("cannot write layers that were read");
      varnel::Size canvas{};
      if (varnel::ReadLayerFile(saved, again, canvas, grid) != 0) Fail("cannot read a written layer file");
    } else {
      if (varnel::WriteLayerList(saved, refs) != 0) Fail("cannot write a layer list");
      if (varnel::ReadLayerList(saved, again) != 0) Fail("cannot read a written layer list");
    }
  } catch (const varnel::FileError&) {
    Fail("file error on a temporary file");
  }
  if (again.size() != layers.size()) Fail("a different number of layers came back");
  for (size_t i = 0; i < layers.size(); ++i) {
    if (!SameLayer(*layers[i], *again[i])) Fail("a layer came back different");
    if (chunked && layers[i]->Masks().Count() < again[i]->Masks().Count()) Fail("masks appeared");
  }
}

void CheckLeftInFile(const std::string& path, const varnel::LayerList& read) {
  varnel::LayerList left;
  varnel::LayerFilePixels pixels;
  varnel::Size canvas{};
  varnel::GridSettings grid;
  bool hadCanvas = false;
  if (varnel::ReadLayerFileLeavingPixels(path, left, canvas, grid, hadCanvas, pixels) != 0)
    Fail("the mapped reader refused what the whole reader read");
  if (left.size() != read.size()) Fail("the mapped reader found a different number of layers");
  for (size_t i = 0; i < left.size(); ++i) {
    const size_t bytes = static_cast<size_t>(read[i]->Width()) * static_cast<size_t>(read[i]->Height()) * 4;
    const uint8_t* mapped = pixels.MappedBytes(*left[i]);
    if (!(left[i]->GetSize() == read[i]->GetSize()) || mapped == nullptr ||
        std::memcmp(mapped, read[i]->Bits(), bytes) != 0)
      Fail("the mapped pixels differ from the pixels read");
    // The first and last rows read into the layer as the preview reads them.
    if (pixels.ReadRows(*left[i], {0, left[i]->Height() - 1}) != 0 ||
        std::memcmp(left[i]->Row(0), read[i]->Row(0), static_cast<size_t>(read[i]->Width()) * 4) != 0)
      Fail("rows read from the file differ");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("layer_file_fuzz");
  // Masks that are read go to their files as in the program, and are gone with their layers.
  [[maybe_unused]] static const bool maskFiles = (varnel::InstallMaskFileStore(), true);
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);

  varnel::LayerList chunked;
  varnel::Size canvas{};
  varnel::GridSettings grid;
  if (varnel::ReadLayerFile(files.input, chunked, canvas, grid) == 0) {
    if (grid.axes.size() > varnel::GridSettings::kMaxAxes) Fail("too many axes");
    CheckLeftInFile(files.input, chunked);
    CheckRoundTrip(chunked, files.saved, true);
  }
  varnel::LayerList list;
  if (varnel::ReadLayerList(files.input, list) == 0) CheckRoundTrip(list, files.saved, false);
  varnel::LayerList any;
  varnel::ReadAnyLayerFile(files.input, any);
  return 0;
}

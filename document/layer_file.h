#pragma once
// The layer file (".vlb"), the program's own document format, in its two kinds: the chunked
// layer file the document commands write (preview, canvas size, grid settings, every layer
// with its masks), and the simple layer list ("LB") kept for the clone source and the
// clipboard cache. Numbers are little-endian; layer names are code page 932 on disk.
//
// Readers trust no size field further than the file can back it: a layer whose pixels the
// file no longer holds is never allocated.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/geometry.h"
#include "core/layer.h"
#include "core/surface.h"
#include "document/file_io.h"
#include "platform/colour.h"

namespace varnel {

// One axis of the axis grid: line colour (0x00BBGGRR), interval in pixels, angle in degrees.
struct GridAxis {
  ColourRef colour{0x00F0C8C8};
  int32_t interval = 16;
  int32_t angle = 0;
  bool operator==(const GridAxis&) const = default;
};

// The state of a document view's grid, as the file keeps it.
struct GridSettings {
  static constexpr size_t kRecordSize = 56;
  static constexpr size_t kAxisSize = 12;
  static constexpr uint32_t kMaxAxes = 31;  // a file with more keeps none

  uint8_t shown = 0;
  int32_t kind = 0;  // 0 rectangular grid, else axis grid
  int32_t cellWidth = 16;
  int32_t cellHeight = 16;
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t zoomGate = 0;  // show only from zoomThreshold on
  double zoomThreshold = 4.0;
  ColourRef colour{0};  // of the rectangular grid
  int32_t snap = 0;
  std::vector<GridAxis> axes;
  bool operator==(const GridSettings&) const = default;

  // The grid dialog's starting set: three axes at 0, 60 and 120 degrees.
  static std::vector<GridAxis> DialogAxes();
};

// Layers read from a file, owned by the caller; layers to write, in canvas order.
using LayerList = std::vector<std::unique_ptr<Layer>>;
using LayerRefs = std::vector<const Layer*>;

// The pixels of layers read from a chunked layer file that were left in the file: the file,
// kept open, and where each layer's pixel bytes lie in it. A copy of the file needs only the
// rows its preview shows in memory; the rest goes from the mapped file to the new one.
class LayerFilePixels {
 public:
  // Where the layer's pixel bytes start in the file; -1 for a layer that is not from it.
  int64_t Place(const Layer& layer) const;
  // Reads the given rows of a layer from the file (counted from the top; rows outside the
  // layer are passed over). -1 when the layer is not from the file or the file no longer
  // holds them.
  int32_t ReadRows(Layer& layer, const std::vector<int32_t>& rows) const;
  // The layer's pixel bytes in the mapped file, as the file holds them (bottom row first);
  // null for a layer that is not from it. Only for FileWriter::WriteDirect.
  const uint8_t* MappedBytes(const Layer& layer) const;

 private:
  friend int32_t ReadLayerFileLeavingPixels(const std::string& path, LayerList& layers, Size& canvasSize,
                                            GridSettings& grid, bool& hadCanvasSize, LayerFilePixels& pixels);
  FileReader m_file;
  const uint8_t* m_map = nullptr;
  std::unordered_map<const Layer*, uint64_t> m_places;
};

// Writes a chunked layer file; -1 (the file untouched) when layers is empty. File system
// errors throw FileError and leave any existing file as it was. The pixels of a layer that
// source holds are written from its file instead of the layer's memory.
int32_t WriteLayerFile(const std::string& path, const LayerRefs& layers, int32_t canvasWidth, int32_t canvasHeight,
                       const ImageSurface& previewSource, const GridSettings& grid,
                       const LayerFilePixels* source = nullptr);

// Reads a chunked layer file, appending the completed layers to layers. canvasSize keeps its
// value when the file has no canvas chunk; grid keeps its value when there is no grid chunk.
// 0 success (also when the file ends inside a layer), -1 not a layer file or corrupt.
int32_t ReadLayerFile(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid);
// The same, telling whether the file had a canvas chunk.
int32_t ReadLayerFile(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid,
                      bool& hadCanvasSize);

// As ReadLayerFile, with the same checks and the same layers, but every layer's pixels stay in
// the file: the layer is allocated with its pixels unset (and untouched, so they cost no
// memory until written) and pixels learns where they lie. Any earlier content of pixels is
// dropped; its layers must not be used with it any more.
int32_t ReadLayerFileLeavingPixels(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid,
                                   bool& hadCanvasSize, LayerFilePixels& pixels);

// 1 simple layer list, 2 chunked layer file, -1 neither.
int32_t DetectLayerFileKind(const std::string& path);

// Either kind; -1 for anything else or a file error.
int32_t ReadAnyLayerFile(const std::string& path, LayerList& layers);

// The simple layer list. Write throws FileError on file system errors.
int32_t WriteLayerList(const std::string& path, const LayerRefs& layers);
int32_t ReadLayerList(const std::string& path, LayerList& layers);

// Fills preview (which must be empty) with the 120-pixel preview of source; -1 when source
// has no pixels. The preview stays empty when one side would be 0 pixels long.
int32_t MakeFilePreview(const ImageSurface& source, ImageSurface& preview);
// The rows of a picture of the given size that its preview takes pixels from, top first.
std::vector<int32_t> FilePreviewRows(Size size);

// A path whose last three characters are "VLB", respectively "BMP", ignoring case.
bool IsLayerFilePath(const std::string& path);
bool IsBitmapPath(const std::string& path);

}  // namespace varnel

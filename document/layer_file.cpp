#include "document/layer_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "document/file_io.h"
#include "core/region.h"
#include "platform/code_page.h"
#include "platform/host.h"

namespace varnel {
namespace {

constexpr uint8_t kMagic[5] = {0x4C, 0x58, 0x0D, 0x0A, 0x4C};
constexpr char kVersion[5] = {'1', '0', '0', '0', '0'};
constexpr size_t kChunkHeader = 10;
constexpr size_t kPixelHeader = 40;
constexpr size_t kWriteBlock = 524288;
constexpr size_t kMappedWriteBlock = 16777216;
constexpr size_t kReadBlock = 1048576;
constexpr uint32_t kMaxNameLength = 65535;
constexpr size_t kLayerHeaderFixed = 18;
constexpr size_t kMaskRectSize = 16;
// The smallest record of a simple layer list: header, attributes, empty name, no pixels, "LE".
constexpr uint64_t kMinListRecord = kPixelHeader + 1 + 4 + 8 + 1 + 4 + 2;

constexpr const char* kWriteProgress = "レイヤ%d/%dを書き込み中　[%3d%%]";
constexpr const char* kReadProgress = "レイヤ%d/%dを読み込み中 [%3d%%]";

using Tag = std::string_view;

void ShowProgress(const char* format, int32_t layer, int32_t count, int32_t percent) {
  char text[128];
  std::snprintf(text, sizeof text, format, layer, count, percent);
  Host& host = GetHost();
  host.SetStatusText(text);
  host.SetProgress(percent);
}

void ClearProgress() {
  Host& host = GetHost();
  host.SetStatusText("");
  host.SetProgress(0);
}

// Clears the status bar however a read or write ends.
struct ProgressScope {
  bool active = false;
  ~ProgressScope() {
    if (active) ClearProgress();
  }
};

// The name as the file carries it: the bytes it was read as while it is unchanged, otherwise
// code page 932, at most 65535 bytes (a longer name would make the file unreadable), never cut
// inside a double-byte character.
std::string NameOnDisk(const Layer& layer) {
  const std::string& stored = layer.NameAsStored();
  if (!stored.empty() && stored.size() <= kMaxNameLength && FromCodePage932(stored) == layer.Name()) return stored;
  std::string bytes = ToCodePage932(layer.Name());
  if (bytes.size() <= kMaxNameLength) return bytes;
  size_t keep = 0;
  while (keep < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[keep]);
    const size_t width = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
    if (keep + width > kMaxNameLength) break;
    keep += width;
  }
  bytes.resize(keep);
  return bytes;
}

void WritePixelHeader(FileWriter& out, int32_t width, int32_t height) {
  uint8_t header[kPixelHeader] = {};
  if (width > 0 && height > 0) {
    StoreU32(header, kPixelHeader);
    StoreU32(header + 4, static_cast<uint32_t>(width));
    StoreU32(header + 8, static_cast<uint32_t>(height));
    header[12] = 1;
    header[14] = 32;
  }
  out.Write(header, sizeof header);
}

void WriteChunk(FileWriter& out, const char (&tag)[5], uint32_t size) {
  out.Write("CH", 2);
  out.Write(tag, 4);
  out.WriteU32(size);
}

uint64_t PixelBytes(const ImageSurface& surface) {
  return static_cast<uint64_t>(surface.Width()) * static_cast<uint64_t>(surface.Height()) * 4;
}

bool HasPixels(const Layer& layer) { return layer.Bits() != nullptr && layer.Width() > 0 && layer.Height() > 0; }

// The pixel bytes of a layer, bottom row first, in blocks so the status bar can follow: from
// the file source maps when it holds them, in larger blocks (the system fills the new file's
// pages faster the more it is given at once), else from memory.
void WriteLayerPixels(FileWriter& out, const Layer& surface, int32_t layer, int32_t count,
                      const LayerFilePixels* source) {
  const uint8_t* mapped = source ? source->MappedBytes(surface) : nullptr;
  const uint8_t* bits = mapped ? mapped : surface.Bits();
  const uint64_t block = mapped ? kMappedWriteBlock : kWriteBlock;
  auto put = [&](uint64_t from, uint64_t size) {
    if (mapped) {
      out.WriteDirect(bits + from, static_cast<size_t>(size));
    } else {
      out.Write(bits + from, static_cast<size_t>(size));
    }
  };
  const uint64_t total = PixelBytes(surface);
  uint64_t written = 0;
  while (written + block < total) {
    put(written, block);
    written += block;
    ShowProgress(kWriteProgress, layer, count, static_cast<int32_t>(written * 100 / total));
  }
  put(written, total - written);
}

// Keeps pixel memory of which only a few rows will be written on small pages: the first touch
// of a huge page clears all 2 MiB of it.
void KeepOnSmallPages(Layer& layer) {
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<uintptr_t>(layer.Bits());
  const uintptr_t start = (first + page - 1) & ~(page - 1);
  const uintptr_t end = (first + PixelBytes(layer)) & ~(page - 1);
  if (start < end) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_NOHUGEPAGE);
}

void WriteMask(FileWriter& out, const Region& region) {
  const uint64_t width = static_cast<uint64_t>(region.Width());
  const uint64_t height = static_cast<uint64_t>(region.Height());
  const uint64_t bytes = width * height;
  if (kMaskRectSize + bytes > UINT32_MAX) return;  // the chunk size cannot say it
  WriteChunk(out, "LMCH", 0);
  WriteChunk(out, "LMDC", static_cast<uint32_t>(kMaskRectSize + bytes));
  out.WriteI32(region.Left());
  out.WriteI32(region.Top());
  out.WriteI32(region.Right());
  out.WriteI32(region.Bottom());
  for (int32_t r = 0; r < region.Height(); ++r) out.Write(region.Row(r), static_cast<size_t>(width));
}

void WriteGrid(FileWriter& out, const GridSettings& grid) {
  const uint64_t n = grid.axes.size();
  WriteChunk(out, "ECV0", static_cast<uint32_t>(GridSettings::kRecordSize + GridSettings::kAxisSize * n));
  uint8_t record[GridSettings::kRecordSize] = {};
  record[4] = grid.shown ? 1 : 0;
  StoreU32(record + 8, static_cast<uint32_t>(grid.kind));
  StoreU32(record + 12, static_cast<uint32_t>(grid.cellWidth));
  StoreU32(record + 16, static_cast<uint32_t>(grid.cellHeight));
  StoreU32(record + 20, static_cast<uint32_t>(grid.originX));
  StoreU32(record + 24, static_cast<uint32_t>(grid.originY));
  StoreU32(record + 28, static_cast<uint32_t>(grid.zoomGate));
  std::memcpy(record + 32, &grid.zoomThreshold, 8);
  StoreU32(record + 40, ValueOf(grid.colour));
  StoreU32(record + 44, static_cast<uint32_t>(grid.snap));
  StoreU32(record + 52, static_cast<uint32_t>(n));
  out.Write(record, sizeof record);
  for (const GridAxis& axis : grid.axes) {
    out.WriteU32(ValueOf(axis.colour));
    out.WriteI32(axis.interval);
    out.WriteI32(axis.angle);
  }
}

void ReadGridRecord(const uint8_t* record, GridSettings& grid) {
  grid.shown = record[4];
  grid.kind = LoadI32(record + 8);
  grid.cellWidth = LoadI32(record + 12);
  grid.cellHeight = LoadI32(record + 16);
  grid.originX = LoadI32(record + 20);
  grid.originY = LoadI32(record + 24);
  grid.zoomGate = LoadI32(record + 28);
  std::memcpy(&grid.zoomThreshold, record + 32, 8);
  grid.colour = ColourRef{LoadU32(record + 40)};
  grid.snap = LoadI32(record + 44);
}

struct ChunkHeader {
  char tag[4];
  uint32_t size;
  bool Is(const char (&name)[5]) const { return std::memcmp(tag, name, 4) == 0; }
};

// False when fewer than 10 bytes remain.
bool ReadChunkHeader(FileReader& in, ChunkHeader& chunk) {
  uint8_t bytes[kChunkHeader];
  if (!in.ReadExact(bytes, sizeof bytes)) return false;
  std::memcpy(chunk.tag, bytes + 2, 4);  // the "CH" letters are not checked
  chunk.size = LoadU32(bytes + 6);
  return true;
}

int32_t DetectKind(FileReader& in) {
  uint8_t head[5] = {};
  const size_t got = in.Read(head, sizeof head);
  if (got >= 2 && head[0] == 'L' && head[1] == 'B') return 1;
  if (got == 5 && std::memcmp(head, kMagic, 5) == 0) return 2;
  in.Back(got);
  return -1;
}

// The outcome of one step of the layer phase.
enum class Step { kGo, kEnd, kCorrupt };

// The state of the layer phase of a chunked file. With places, pixels are left in the file:
// each completed layer's place in it goes there.
class LayerPhase {
 public:
  LayerPhase(FileReader& in, LayerList& layers, int32_t layerCount, std::unordered_map<const Layer*, uint64_t>* places)
      : m_in(in), m_layers(layers), m_count(layerCount), m_places(places) {}

  Step Next() {
    ChunkHeader chunk{};
    if (!ReadChunkHeader(m_in, chunk)) return Step::kEnd;
    if (chunk.Is("LCBE")) {
      m_current = std::make_unique<Layer>();
      return Skip(chunk.size);
    }
    if (chunk.Is("EOFL")) {
      // A layer that never got pixels cannot take part in a canvas; it goes like an unfinished one.
      if (m_current && HasPixels(*m_current)) {
        if (m_places) (*m_places)[m_current.get()] = m_pixelsAt;
        m_layers.push_back(std::move(m_current));
      }
      m_current.reset();
      return Skip(chunk.size);
    }
    if (m_current && chunk.Is("LHBE")) return ReadHeader(chunk.size);
    if (m_current && chunk.Is("CLBM")) return ReadPixels(chunk.size);
    if (m_current && chunk.Is("LMDC")) return ReadMask(chunk.size);
    return Skip(chunk.size);
  }

 private:
  // A body that runs past the end of the file ends the file normally.
  Step Skip(uint64_t size) { return m_in.Skip(size) ? Step::kGo : Step::kEnd; }

  Step ReadHeader(uint32_t size) {
    uint8_t fixed[kLayerHeaderFixed];
    if (size < kLayerHeaderFixed) return Step::kCorrupt;
    if (!m_in.ReadExact(fixed, sizeof fixed)) return Step::kEnd;
    const uint32_t nameLength = LoadU32(fixed + 14);
    if (nameLength > kMaxNameLength) return Step::kCorrupt;
    if (size < kLayerHeaderFixed + nameLength) return Step::kCorrupt;
    std::string name(nameLength, '\0');
    if (!m_in.ReadExact(name.data(), nameLength)) return Step::kEnd;
    m_current->SetOpacity(fixed[0]);
    m_current->SetBlendMode(BlendMode{LoadI32(fixed + 1)});
    m_current->SetVisible(fixed[5] != 0);
    m_current->SetOffset(LoadI32(fixed + 6), LoadI32(fixed + 10));
    m_current->SetName(FromCodePage932(name));
    m_current->SetNameAsStored(std::move(name));
    return Skip(size - kLayerHeaderFixed - nameLength);
  }

  Step ReadPixels(uint32_t size) {
    ++m_pixelBlocks;
    ProgressScope progress{true};
    ShowProgress(kReadProgress, m_pixelBlocks, m_count, 0);
    uint8_t header[kPixelHeader];
    if (size < kPixelHeader) return Step::kCorrupt;
    if (!m_in.ReadExact(header, sizeof header)) return Step::kEnd;
    const int32_t width = LoadI32(header + 4);
    const int32_t height = LoadI32(header + 8);
    if (width < 1 || height < 1) return Step::kCorrupt;
    const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
    if (size < kPixelHeader + total) return Step::kCorrupt;
    // A file cut inside these pixels ends the layer phase: find out before allocating.
    if (m_in.Remaining() < total) {
      m_in.Skip(m_in.Remaining());
      return Step::kEnd;
    }
    if (m_current->CreateUnfilled({width, height}) != 0) return Step::kCorrupt;
    if (m_places) {
      KeepOnSmallPages(*m_current);
      m_pixelsAt = m_in.Position();
      return Skip(size - kPixelHeader);
    }
    uint8_t* bits = m_current->Bits();
    uint64_t done = 0;
    while (done + kReadBlock < total) {
      if (!m_in.ReadExact(bits + done, kReadBlock)) return Step::kEnd;
      done += kReadBlock;
      ShowProgress(kReadProgress, m_pixelBlocks, m_count, static_cast<int32_t>(done * 100 / total));
    }
    if (!m_in.ReadExact(bits + done, static_cast<size_t>(total - done))) return Step::kEnd;
    return Skip(size - kPixelHeader - total);
  }

  Step ReadMask(uint32_t size) {
    uint8_t rect[kMaskRectSize];
    if (size < kMaskRectSize) return Step::kCorrupt;
    if (!m_in.ReadExact(rect, sizeof rect)) return Step::kEnd;
    const Rect bounds{LoadI32(rect), LoadI32(rect + 4), LoadI32(rect + 8), LoadI32(rect + 12)};
    const bool empty = bounds.right < bounds.left || bounds.bottom < bounds.top;
    const uint64_t width = empty ? 0 : static_cast<uint64_t>(int64_t{bounds.right} - bounds.left + 1);
    const uint64_t height = empty ? 0 : static_cast<uint64_t>(int64_t{bounds.bottom} - bounds.top + 1);
    const uint64_t bytes = width * height;
    if (size < kMaskRectSize + bytes) return Step::kCorrupt;
    if (m_in.Remaining() < bytes) {
      m_in.Skip(m_in.Remaining());
      return Step::kEnd;
    }
    Region region;
    if (!empty && region.Create(bounds, 0) != 0) {
      // Larger than any region can be: the mask cannot be kept, the layer can.
      return Skip(size - kMaskRectSize);
    }
    for (int32_t r = 0; r < region.Height(); ++r) {
      if (!m_in.ReadExact(region.Row(r), static_cast<size_t>(width))) return Step::kEnd;
    }
    m_current->Masks().AddMask(region);
    return Skip(size - kMaskRectSize - bytes);
  }

  FileReader& m_in;
  LayerList& m_layers;
  int32_t m_count;
  int32_t m_pixelBlocks = 0;
  std::unordered_map<const Layer*, uint64_t>* m_places;
  uint64_t m_pixelsAt = 0;  // of the current layer, when they are left in the file
  std::unique_ptr<Layer> m_current;
};

void WriteListRecord(FileWriter& out, const Layer& layer) {
  WritePixelHeader(out, layer.Width(), layer.Height());
  out.WriteU8(static_cast<uint8_t>(layer.Opacity()));
  out.WriteI32(ModeNumber(layer.BlendMode()));
  out.WriteI32(layer.OffsetX());
  out.WriteI32(layer.OffsetY());
  out.WriteU8(layer.IsVisible() ? 1 : 0);
  const std::string name = NameOnDisk(layer);
  out.WriteU32(static_cast<uint32_t>(name.size()));
  out.Write(name.data(), name.size());
  out.Write(layer.Bits(), static_cast<size_t>(PixelBytes(layer)));
  out.Write("LE", 2);
}

// One record of a simple layer list; false when it is malformed or cut short.
bool ReadListRecord(FileReader& in, Layer& layer) {
  uint8_t header[kPixelHeader];
  if (!in.ReadExact(header, sizeof header)) return false;
  const int32_t width = LoadI32(header + 4);
  const int32_t height = LoadI32(header + 8);
  if (width < 1 || height < 1) return false;
  uint8_t fields[18];
  if (!in.ReadExact(fields, sizeof fields)) return false;
  layer.SetOpacity(fields[0]);
  const uint32_t nameLength = LoadU32(fields + 14);
  if (nameLength > kMaxNameLength || nameLength > in.Remaining()) return false;
  std::string name(nameLength, '\0');
  if (!in.ReadExact(name.data(), nameLength)) return false;
  const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
  if (total + 2 > in.Remaining()) return false;
  if (layer.CreateUnfilled({width, height}) != 0) return false;
  if (!in.ReadExact(layer.Bits(), static_cast<size_t>(total))) return false;
  layer.SetBlendMode(BlendMode{LoadI32(fields + 1)});
  layer.SetOffset(LoadI32(fields + 5), LoadI32(fields + 9));
  layer.SetVisible(fields[13] != 0);
  layer.SetName(FromCodePage932(name));
  layer.SetNameAsStored(std::move(name));
  char end[2];
  return in.ReadExact(end, 2) && end[0] == 'L' && end[1] == 'E';
}

bool EndsWithIgnoringCase(const std::string& path, std::string_view ending) {
  if (path.size() < ending.size()) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - ending.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    const char c = tail[i];
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != ending[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<GridAxis> GridSettings::DialogAxes() {
  constexpr ColourRef kAxisColour{0x00F0C8C8};
  return {GridAxis{kAxisColour, 16, 0}, GridAxis{kAxisColour, 16, 60}, GridAxis{kAxisColour, 16, 120}};
}

bool IsLayerFilePath(const std::string& path) { return EndsWithIgnoringCase(path, "VLB"); }
bool IsBitmapPath(const std::string& path) { return EndsWithIgnoringCase(path, "BMP"); }

namespace {

// The preview's size for a picture: 120 pixels along the longer side. Empty when a side would
// be 0 pixels long; longest is the picture's longer side.
Size FilePreviewSize(Size size, int64_t& longest) {
  longest = std::max<int64_t>(size.width, size.height);
  if (size.width < 1 || size.height < 1) return {};
  return {static_cast<int32_t>(size.width * 120 / longest), static_cast<int32_t>(size.height * 120 / longest)};
}

}  // namespace

std::vector<int32_t> FilePreviewRows(Size size) {
  int64_t longest = 0;
  const Size preview = FilePreviewSize(size, longest);
  std::vector<int32_t> rows;
  if (preview.width < 1 || preview.height < 1) return rows;
  for (int32_t j = 0; j < preview.height; ++j) rows.push_back(static_cast<int32_t>(j * longest / 120));
  return rows;
}

int32_t MakeFilePreview(const ImageSurface& source, ImageSurface& preview) {
  if (!source.Bits() || source.Width() < 1 || source.Height() < 1) return -1;
  int64_t longest = 0;
  const Size size = FilePreviewSize(source.GetSize(), longest);
  if (size.width == 0 || size.height == 0) return 0;
  if (preview.CreateUnfilled(size) != 0) return -1;
  const std::vector<int32_t> rows = FilePreviewRows(source.GetSize());
  for (int32_t j = 0; j < size.height; ++j) {
    const uint32_t* from = source.Row(rows[static_cast<size_t>(j)]);
    uint32_t* to = preview.Row(j);
    for (int32_t i = 0; i < size.width; ++i) to[i] = from[i * longest / 120];
  }
  return 0;
}

int32_t WriteLayerFile(const std::string& path, const LayerRefs& layers, int32_t canvasWidth, int32_t canvasHeight,
                       const ImageSurface& previewSource, const GridSettings& grid, const LayerFilePixels* source) {
  if (layers.empty()) return -1;
  FileWriter out;
  out.Create(path);
  uint64_t pixels = 0;
  for (const Layer* layer : layers)
    if (layer && HasPixels(*layer)) pixels += PixelBytes(*layer);
  out.Reserve(pixels);
  ProgressScope progress{true};
  out.Write(kMagic, sizeof kMagic);
  out.Write(kVersion, sizeof kVersion);

  ImageSurface preview;
  if (MakeFilePreview(previewSource, preview) == 0) {
    WriteChunk(out, "PRVW", static_cast<uint32_t>(kPixelHeader + PixelBytes(preview)));
    WritePixelHeader(out, preview.Width(), preview.Height());
    if (preview.Bits()) out.Write(preview.Bits(), static_cast<size_t>(PixelBytes(preview)));
  }

  const int32_t count = static_cast<int32_t>(
      std::count_if(layers.begin(), layers.end(), [](const Layer* layer) { return layer && HasPixels(*layer); }));
  WriteChunk(out, "CNVS", 12);
  out.WriteI32(canvasWidth);
  out.WriteI32(canvasHeight);
  out.WriteI32(count);
  WriteGrid(out, grid);
  WriteChunk(out, "LLCB", 0);

  int32_t number = 0;
  for (const Layer* layer : layers) {
    // A layer without pixels would make the whole file unreadable.
    if (!layer || !HasPixels(*layer)) continue;
    ++number;
    WriteChunk(out, "LCBE", 0);
    const std::string name = NameOnDisk(*layer);
    WriteChunk(out, "LHBE", static_cast<uint32_t>(kLayerHeaderFixed + name.size()));
    out.WriteU8(static_cast<uint8_t>(layer->Opacity()));
    out.WriteI32(ModeNumber(layer->BlendMode()));
    out.WriteU8(layer->IsVisible() ? 1 : 0);
    out.WriteI32(layer->OffsetX());
    out.WriteI32(layer->OffsetY());
    out.WriteU32(static_cast<uint32_t>(name.size()));
    out.Write(name.data(), name.size());

    WriteChunk(out, "CLBM", static_cast<uint32_t>(kPixelHeader + PixelBytes(*layer)));
    WritePixelHeader(out, layer->Width(), layer->Height());
    WriteLayerPixels(out, *layer, number, count, source);

    const LayerMaskList& masks = layer->Masks();
    for (int32_t m = 0; m < masks.Count(); ++m) {
      Region region;
      if (masks.ReadMask(m, region) == 0 && !region.IsEmpty()) WriteMask(out, region);
    }
    WriteChunk(out, "EOFL", 0);
    ClearProgress();
  }
  WriteChunk(out, "EOLL", 0);
  out.Commit();
  return 0;
}

int32_t ReadLayerFile(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid) {
  bool hadCanvasSize = false;
  return ReadLayerFile(path, layers, canvasSize, grid, hadCanvasSize);
}

namespace {

int32_t ReadChunkedFile(FileReader& in, LayerList& layers, Size& canvasSize, GridSettings& grid, bool& hadCanvasSize,
                        std::unordered_map<const Layer*, uint64_t>* places) {
  hadCanvasSize = false;
  uint8_t signature[10];
  if (in.Read(signature, 5) != 5 || std::memcmp(signature, kMagic, 5) != 0) return -1;
  if (!in.ReadExact(signature + 5, 5)) return -1;

  // Header phase: up to the start of the layer list. A file that ends before it is corrupt.
  int32_t layerCount = 0;
  for (;;) {
    ChunkHeader chunk{};
    if (!ReadChunkHeader(in, chunk)) return -1;
    if (chunk.Is("LLCB")) break;
    if (chunk.Is("CNVS")) {
      // Always the three numbers, whatever size the chunk claims: the format does not trust
      // this chunk's size field.
      uint8_t body[12];
      if (!in.ReadExact(body, sizeof body)) return -1;
      canvasSize = {LoadI32(body), LoadI32(body + 4)};
      layerCount = LoadI32(body + 8);
      hadCanvasSize = true;
    } else if (chunk.Is("ECV0") && chunk.size >= GridSettings::kRecordSize) {
      uint8_t record[GridSettings::kRecordSize];
      if (!in.ReadExact(record, sizeof record)) return -1;
      ReadGridRecord(record, grid);
      const uint32_t n = LoadU32(record + 52);
      grid.axes.clear();
      if (n <= GridSettings::kMaxAxes && GridSettings::kRecordSize + GridSettings::kAxisSize * n == chunk.size) {
        grid.axes.resize(n);
        for (GridAxis& axis : grid.axes) {
          uint8_t entry[GridSettings::kAxisSize];
          if (!in.ReadExact(entry, sizeof entry)) return -1;
          axis = {ColourRef{LoadU32(entry)}, LoadI32(entry + 4), LoadI32(entry + 8)};
        }
      } else if (!in.Skip(chunk.size - GridSettings::kRecordSize)) {
        return -1;
      }
    } else if (!in.Skip(chunk.size)) {
      return -1;
    }
  }

  LayerPhase phase(in, layers, layerCount, places);
  for (;;) {
    switch (phase.Next()) {
      case Step::kGo:
        break;
      case Step::kEnd:
        return 0;
      case Step::kCorrupt:
        return -1;
    }
  }
}

}  // namespace

int32_t ReadLayerFile(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid,
                      bool& hadCanvasSize) {
  hadCanvasSize = false;
  FileReader in;
  if (!in.Open(path)) return -1;
  return ReadChunkedFile(in, layers, canvasSize, grid, hadCanvasSize, nullptr);
}

int32_t ReadLayerFileLeavingPixels(const std::string& path, LayerList& layers, Size& canvasSize, GridSettings& grid,
                                   bool& hadCanvasSize, LayerFilePixels& pixels) {
  hadCanvasSize = false;
  pixels.m_places.clear();
  pixels.m_map = nullptr;
  if (!pixels.m_file.Open(path) || !(pixels.m_map = pixels.m_file.Map())) return -1;
  return ReadChunkedFile(pixels.m_file, layers, canvasSize, grid, hadCanvasSize, &pixels.m_places);
}

int64_t LayerFilePixels::Place(const Layer& layer) const {
  const auto found = m_places.find(&layer);
  return found == m_places.end() ? -1 : static_cast<int64_t>(found->second);
}

const uint8_t* LayerFilePixels::MappedBytes(const Layer& layer) const {
  const int64_t place = Place(layer);
  return place < 0 ? nullptr : m_map + place;
}

int32_t LayerFilePixels::ReadRows(Layer& layer, const std::vector<int32_t>& rows) const {
  const int64_t place = Place(layer);
  if (place < 0) return -1;
  const size_t rowBytes = static_cast<size_t>(layer.Width()) * 4;
  for (const int32_t y : rows) {
    uint32_t* row = layer.Row(y);
    if (!row) continue;
    const auto at = static_cast<uint64_t>(reinterpret_cast<uint8_t*>(row) - layer.Bits());
    if (!m_file.ReadAt(static_cast<uint64_t>(place) + at, row, rowBytes)) return -1;
  }
  return 0;
}

int32_t DetectLayerFileKind(const std::string& path) {
  FileReader in;
  if (!in.Open(path)) return -1;
  return DetectKind(in);
}

int32_t ReadAnyLayerFile(const std::string& path, LayerList& layers) {
  switch (DetectLayerFileKind(path)) {
    case 1:
      return ReadLayerList(path, layers);
    case 2: {
      GridSettings grid;
      Size canvas{};
      return ReadLayerFile(path, layers, canvas, grid);
    }
    default:
      return -1;
  }
}

int32_t WriteLayerList(const std::string& path, const LayerRefs& layers) {
  FileWriter out;
  out.Create(path);
  out.Write("LB", 2);
  const auto count =
      std::count_if(layers.begin(), layers.end(), [](const Layer* layer) { return layer && HasPixels(*layer); });
  out.WriteI32(static_cast<int32_t>(count));
  for (const Layer* layer : layers) {
    if (layer && HasPixels(*layer)) WriteListRecord(out, *layer);
  }
  out.Commit();
  return 0;
}

int32_t ReadLayerList(const std::string& path, LayerList& layers) {
  FileReader in;
  if (!in.Open(path)) return -1;
  uint8_t head[6];
  if (!in.ReadExact(head, 2) || head[0] != 'L' || head[1] != 'B') return -1;
  if (!in.ReadExact(head + 2, 4)) return -1;
  const int32_t count = LoadI32(head + 2);
  // Every record takes at least kMinListRecord bytes: a count the file cannot hold is corrupt.
  if (count < 0 || static_cast<uint64_t>(count) > in.Remaining() / kMinListRecord) return -1;
  for (int32_t i = 0; i < count; ++i) {
    auto layer = std::make_unique<Layer>();
    if (!ReadListRecord(in, *layer)) return -1;
    layers.push_back(std::move(layer));
  }
  return 0;
}

}  // namespace varnel

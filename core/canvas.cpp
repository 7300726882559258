#include "core/canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/bands.h"
#include "core/blend.h"
#include "core/selection_step.h"

namespace varnel {
namespace {

std::function<Canvas*()>& ActiveCanvasLookup() {
  static std::function<Canvas*()> lookup;
  return lookup;
}

// The part of r inside 0…width − 1, 0…height − 1; false when nothing is left.
bool ClipTo(Rect r, int32_t width, int32_t height, Rect& out) {
  out = r.Normalized().Intersected({0, 0, width - 1, height - 1});
  return !out.IsEmpty();
}

// Coverage of a run of an upper layer's row: its alpha, then every enabled mask in list order.
// Masks are regions in canvas coordinates; the run starts at canvas (x, y).
void RowCoverage(const Layer& layer, const uint32_t* pixels, int32_t canvasX, int32_t canvasY, size_t n,
                 uint8_t* coverage, std::vector<uint8_t>& maskRow) {
  CoverageFromAlpha(pixels, coverage, n);
  const LayerMaskList& masks = layer.Masks();
  for (int32_t m = 0; m < masks.Count(); ++m) {
    if (!masks.IsEnabled(m)) continue;
    maskRow.assign(n, 0);
    if (const Region* region = masks.EnabledRegion(m))
      region->ReadSpan(canvasX, canvasY, canvasX + static_cast<int32_t>(n) - 1, maskRow.data());
    ApplyMaskCoverage(maskRow.data(), coverage, n);
  }
}

// One visible layer's share of a composition.
struct ComposePart {
  const Layer* layer;
  Rect area;  // canvas coordinates
  bool masked;
  int32_t opacity;  // the opacity the layer's table was built for, or -1 when it is another table
};

// Rows of different layers lie far apart in memory, where the hardware does not look ahead by
// itself: the rows a few steps ahead are asked for, every cache line of their start (rows
// longer than that are streamed by the hardware once begun), so the loads overlap. They are
// asked into the second-level cache only: the first level has too few slots for lines still
// on their way, and a small rectangle needs many such lines at once.
constexpr int32_t kRowsAhead = 4;
constexpr size_t kPrefetchBytes = 1024;

// Inlined by force: out of line, a function of nothing but prefetches counts as free of side
// effects to the compiler, which then drops its calls altogether.
[[gnu::always_inline]] inline void PrefetchSpan(const uint32_t* pixels, size_t count) {
  const size_t bytes = std::min(count * 4, kPrefetchBytes);
  // From the line holding the first byte to the line holding the last.
  const uintptr_t first = reinterpret_cast<uintptr_t>(pixels) & ~uintptr_t{63};
  const uintptr_t last = reinterpret_cast<uintptr_t>(pixels) + bytes - 1;
  for (uintptr_t line = first; line <= last; line += 64) __builtin_prefetch(reinterpret_cast<const void*>(line), 0, 1);
}

void PrefetchRow(const Layer& composite, const std::vector<ComposePart>& parts, int32_t left, int32_t right,
                 int32_t y) {
  PrefetchSpan(composite.Row(y) + left, static_cast<size_t>(right - left + 1));
  for (const ComposePart& part : parts) {
    if (y < part.area.top || y > part.area.bottom) continue;
    const Layer& layer = *part.layer;
    PrefetchSpan(layer.Row(y - layer.OffsetY()) + (part.area.left - layer.OffsetX()),
                 static_cast<size_t>(part.area.Width()));
  }
}

// Row buffers of one band, sized before the band starts, so a band on a second thread never
// allocates (and so never throws).
struct BandBuffers {
  std::vector<uint8_t> coverage, maskRow;
  std::vector<int32_t> edges;
  std::vector<DisplayLayer> stack;
  BandBuffers(size_t width, size_t parts) : coverage(width), maskRow(width) {
    edges.reserve(2 * parts + 2);
    stack.reserve(parts);
  }
};

// Composes rows top…bottom (canvas coordinates) of the columns left…right: each composite row
// is filled white and then goes through the whole stack while it stays in the cache, so the
// composite is passed over once whatever the number of layers. A row is cut where layers begin
// and end; over each piece the layers without masks go through in one pass, and a layer with
// masks takes the merge frame between them. Touches those composite rows only, so disjoint
// bands may run at the same time.
void ComposeRows(Layer& composite, const std::vector<ComposePart>& parts, int32_t left, int32_t right, int32_t top,
                 int32_t bottom, BandBuffers& buffers) {
  const size_t width = static_cast<size_t>(right - left + 1);
  std::vector<int32_t>& edges = buffers.edges;
  std::vector<DisplayLayer>& stack = buffers.stack;
  for (int32_t y = top; y < std::min(top + kRowsAhead, bottom + 1); ++y) PrefetchRow(composite, parts, left, right, y);
  for (int32_t y = top; y <= bottom; ++y) {
    if (y + kRowsAhead <= bottom) PrefetchRow(composite, parts, left, right, y + kRowsAhead);
    uint32_t* row = composite.Row(y);
    std::fill_n(row + left, width, 0xFFFFFFFFu);
    edges.clear();
    for (const ComposePart& part : parts) {
      if (y < part.area.top || y > part.area.bottom) continue;
      edges.push_back(part.area.left);
      edges.push_back(part.area.right + 1);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
      const int32_t from = edges[e], to = edges[e + 1] - 1;  // no layer begins or ends inside
      const size_t n = static_cast<size_t>(to - from + 1);
      uint32_t* destination = row + from;
      stack.clear();
      for (const ComposePart& part : parts) {
        if (y < part.area.top || y > part.area.bottom || from < part.area.left || to > part.area.right) continue;
        const Layer& layer = *part.layer;
        const uint32_t* upper = layer.Row(y - layer.OffsetY()) + (from - layer.OffsetX());
        if (!part.masked) {
          stack.push_back({ModeNumber(layer.BlendMode()), upper, layer.OpacityTable(), part.opacity});
          continue;
        }
        DisplayStack(destination, stack.data(), stack.size(), n);
        stack.clear();
        RowCoverage(layer, upper, from, y, n, buffers.coverage.data(), buffers.maskRow);
        MergeRun(ModeNumber(layer.BlendMode()), destination, upper, buffers.coverage.data(), OpacityWeight(layer.Opacity()),
                 destination, n);
      }
      DisplayStack(destination, stack.data(), stack.size(), n);
    }
  }
}

// A composition of at least this many pixel-layer steps is split into two bands of rows, the
// lower one on a second thread; below it starting the thread costs more than it saves.
constexpr int64_t kBandedWork = int64_t{1} << 21;
constexpr int32_t kMinBandRows = 16;

// Runs rows(top, bottom, buffers) over top…bottom, for large work as two bands of rows with
// the lower one on a second thread. Each band has its own buffers for rows width wide.
template <typename Rows>
void RunInBands(int64_t work, int32_t top, int32_t bottom, size_t width, size_t parts, Rows rows) {
  const bool split = work >= kBandedWork && bottom - top + 1 >= 2 * kMinBandRows;
  // Both bands' buffers are made here, so the second thread never allocates.
  BandBuffers buffers(width, parts);
  std::optional<BandBuffers> lowerBuffers;
  if (split) lowerBuffers.emplace(width, parts);
  RunInTwoBands(split, top, bottom + 1, [&](int32_t begin, int32_t end) {
    rows(begin, end - 1, begin == top ? buffers : *lowerBuffers);
  });
}

// One source layer's share of a stack merge: the rows and columns of the target it covers
// (target coordinates) and the source's position relative to the target.
struct MergePart {
  const Layer* source;
  Rect area;
  int32_t dx, dy;
};

// Merges every part into target rows top…bottom, in list order, each row going through the
// whole list while it stays in the cache. Per pixel the same steps in the same order as
// merging the layers one after the other, so the same bytes. Writes the rows directly: the
// target keeps no backups.
void MergeRows(Layer& target, const std::vector<MergePart>& parts, int32_t top, int32_t bottom,
               BandBuffers& buffers) {
  for (int32_t y = top; y <= bottom; ++y) {
    uint32_t* row = target.Row(y);
    for (const MergePart& part : parts) {
      if (y < part.area.top || y > part.area.bottom) continue;
      const Layer& source = *part.source;
      const int32_t sourceX = part.area.left - part.dx, sourceY = y - part.dy;
      const size_t n = static_cast<size_t>(part.area.Width());
      const uint32_t* upper = source.Row(sourceY) + sourceX;
      uint32_t* lower = row + part.area.left;
      RowCoverage(source, upper, source.OffsetX() + sourceX, source.OffsetY() + sourceY, n, buffers.coverage.data(),
                  buffers.maskRow);
      MergeRun(ModeNumber(source.BlendMode()), lower, upper, buffers.coverage.data(), OpacityWeight(source.Opacity()),
               lower, n);
    }
  }
}

}  // namespace

Canvas::Canvas() = default;

Canvas::~Canvas() {
  m_facade.Unbind();
}

Canvas* Canvas::GetActiveCanvas() {
  auto& lookup = ActiveCanvasLookup();
  return lookup ? lookup() : nullptr;
}

void Canvas::SetActiveCanvasLookup(std::function<Canvas*()> lookup) { ActiveCanvasLookup() = std::move(lookup); }

Layer* Canvas::GetLayer(int32_t index) const {
  return index >= 0 && index < LayerCount() ? m_layers[static_cast<size_t>(index)].get() : nullptr;
}

Size Canvas::GetSize() const { return m_composite.GetSize(); }

void Canvas::Refresh() {
  if (onRefresh) onRefresh();
}

void Canvas::InitWithLayer(std::unique_ptr<Layer> layer) {
  m_composite.Create(layer->GetSize());
  m_activeLayer = layer.get();
  m_layers.push_back(std::move(layer));
  m_activeIndex = 0;
  BindFacade();
}

void Canvas::AppendLayer(std::unique_ptr<Layer> layer, bool refresh) {
  if (m_layers.empty()) {
    InitWithLayer(std::move(layer));
    return;
  }
  m_layers.push_back(std::move(layer));
  if (refresh) Refresh();
}

Layer* Canvas::AddLayer(std::optional<Size> size) {
  const Size layerSize = size ? *size : (m_layers.empty() ? GetSize() : m_layers.front()->GetSize());
  auto layer = std::make_unique<Layer>();
  if (layer->CreateWithAlpha(layerSize, 0) != 0) return nullptr;
  layer->SetOpacity(100);
  char name[32];
  std::snprintf(name, sizeof name, "レイヤ%d", m_layerCounter);
  layer->SetName(name);
  ++m_layerCounter;
  Layer* added = layer.get();
  if (m_layers.empty()) {
    InitWithLayer(std::move(layer));
  } else {
    m_layers.push_back(std::move(layer));
  }
  Refresh();
  return added;
}

bool Canvas::SwapLayers(int32_t i, int32_t j) {
  if (i == j || !GetLayer(i) || !GetLayer(j)) return false;
  std::swap(m_layers[static_cast<size_t>(i)], m_layers[static_cast<size_t>(j)]);
  if (i == m_activeIndex || j == m_activeIndex) SetActiveLayer(m_activeIndex);
  Refresh();
  return true;
}

ImageSurface* Canvas::DrawingTarget() {
  ImageSurface* target = EditTarget();
  if (m_selection && m_facade.IsBound()) return &m_facade;
  return target;
}

void Canvas::BindFacade() {
  ImageSurface* target = EditTarget();
  if (!m_selection || target == nullptr) {
    m_facade.Unbind();
    return;
  }
  // Region coordinates are canvas coordinates; the target layer's pixels are offset.
  m_facade.Bind(target, m_selection.get(), -EditOffsetX(), -EditOffsetY());
}

void Canvas::SetActiveLayer(int32_t index) {
  Layer* layer = GetLayer(index);
  if (!layer) return;
  if (ImageSurface* current = EditTarget())
    current->RevertUncommitted();
  m_activeIndex = index;
  m_activeLayer = layer;
  BindFacade();
}

int32_t Canvas::DeleteLayer(int32_t index) {
  if (!GetLayer(index) || LayerCount() < 2) return -1;
  if (ImageSurface* current = EditTarget())
    current->RevertUncommitted();
  m_facade.Unbind();
  m_layers.erase(m_layers.begin() + index);
  if (index <= m_activeIndex) m_activeIndex = std::max(0, m_activeIndex - 1);
  m_activeLayer = m_layers[static_cast<size_t>(m_activeIndex)].get();
  BindFacade();
  return 0;
}

void Canvas::ReplaceLayer(int32_t index, std::unique_ptr<Layer> layer) {
  if (!GetLayer(index)) {
    AppendLayer(std::move(layer), true);
    return;
  }
  m_facade.Unbind();
  Layer& placed = *layer;
  if (m_activeLayer == m_layers[static_cast<size_t>(index)].get()) m_activeLayer = nullptr;
  m_layers[static_cast<size_t>(index)] = std::move(layer);
  SetActiveLayer(index);
  RecomposeDirty(placed, placed.OffsetX(), placed.OffsetY());
}

bool Canvas::ResizeCanvas(int32_t width, int32_t height) {
  const Size old = GetSize();
  if (old == Size{width, height}) return true;
  if (m_composite.Create({width, height}) != 0) {
    // The composite is only what the layers make: made again at the old size, nothing is lost.
    if (old.width > 0 && m_composite.Create(old) == 0) ComposeAll();
    return false;
  }
  if (m_maskImage) {
    auto resized = std::make_unique<ImageSurface>();
    if (resized->CreateWithAlpha({width, height}, 255) == 0) {
      const Size old = m_maskImage->GetSize();
      for (int32_t y = 0; y < std::min(height, old.height); ++y) {
        for (int32_t x = 0; x < std::min(width, old.width); ++x) {
          uint32_t pixel;
          if (m_maskImage->GetPixel(x, y, &pixel)) resized->SetPixel(x, y, pixel);
        }
        if (y % 16 == 15) resized->DiscardBackups();
      }
      resized->DiscardBackups();
      m_maskImage = std::move(resized);
      BindFacade();
    }
  }
  Refresh();
  return true;
}

void Canvas::SetLayerOffset(Layer& layer, int32_t x, int32_t y) {
  if (layer.OffsetX() == x && layer.OffsetY() == y) return;
  const Rect before = layer.Bounds();
  layer.SetOffset(x, y);
  // The facade's region lies at minus the target's offset, so it follows the new place.
  if (&layer == m_activeLayer) BindFacade();
  const Rect after = layer.Bounds();
  if (before.IsEmpty()) return;
  // A short move recomposes the two places in one; a long one each on its own, not the span
  // between them.
  if (!before.Intersected(after).IsEmpty()) {
    Compose({std::min(before.left, after.left), std::min(before.top, after.top), std::max(before.right, after.right),
             std::max(before.bottom, after.bottom)});
  } else {
    Compose(before);
    Compose(after);
  }
}

void Canvas::RecomposeDirty(ImageSurface& surface, int32_t offsetX, int32_t offsetY) {
  if (!m_layers.empty() && !surface.IsDirtyEmpty()) {
    const Rect dirty = surface.DirtyRect();
    Compose({dirty.left + offsetX, dirty.top + offsetY, dirty.right + offsetX, dirty.bottom + offsetY});
  }
  surface.ClearDirty();
}

void Canvas::ComposeAll() {
  const Size size = GetSize();
  if (size.width > 0 && size.height > 0) Compose({0, 0, size.width - 1, size.height - 1});
}

void Canvas::Compose(const Rect& requested) {
  const Size size = GetSize();
  Rect rect;
  if (size.width < 1 || !ClipTo(requested, size.width, size.height, rect)) return;
  m_composite.RevertUncommitted();
  std::vector<ComposePart> parts;
  int64_t work = 0;
  for (const auto& layerPointer : m_layers) {
    const Layer& layer = *layerPointer;
    if (!layer.IsVisible()) continue;
    if (layer.Width() < 1) continue;
    const Rect area = layer.Bounds().Intersected(rect);
    if (area.IsEmpty()) continue;
    parts.push_back({&layer, area, layer.Masks().HasEnabledMask(), OpacityOfTable(layer.OpacityTable())});
    work += int64_t{area.Width()} * area.Height();
  }
  RunInBands(work, rect.top, rect.bottom, static_cast<size_t>(rect.Width()), parts.size(),
             [&](int32_t top, int32_t bottom, BandBuffers& buffers) {
               ComposeRows(m_composite, parts, rect.left, rect.right, top, bottom, buffers);
             });

  if (m_maskImage) {
    // Dark mask pixels show up to half red over the picture.
    for (int32_t y = rect.top; y <= rect.bottom; ++y) {
      uint32_t* row = m_composite.Row(y);
      for (int32_t x = rect.left; x <= rect.right; ++x) {
        uint32_t mask;
        if (!m_maskImage->GetPixel(x, y, &mask)) continue;
        const int32_t q = static_cast<int32_t>((mask & 0xFF) + ((mask >> 8) & 0xFF) + ((mask >> 16) & 0xFF)) / 3;
        const int32_t u = (255 - q) >> 1;
        const uint32_t d = row[x];
        auto tint = [&](int32_t shift, int32_t target) {
          const int32_t c = static_cast<int32_t>((d >> shift) & 0xFF);
          return static_cast<uint32_t>(c + (((target - c) * u) >> 8)) << shift;
        };
        row[x] = (d & 0xFF000000u) | tint(0, 0) | tint(8, 0) | tint(16, 255);
      }
    }
  } else if (m_selection && drawSelection) {
    drawSelection(rect);
  }
  m_composite.AddDirtyRect(rect.left, rect.top, rect.right, rect.bottom);
}

void Canvas::MergeInto(Layer& target, Layer& source) {
  const Size targetSize = target.GetSize();
  const Size sourceSize = source.GetSize();
  const int32_t dx = source.OffsetX() - target.OffsetX();
  const int32_t dy = source.OffsetY() - target.OffsetY();
  const int32_t from = std::max(0, -dx), to = std::min(sourceSize.width, targetSize.width - dx);
  if (targetSize.width > 0 && from < to) {
    const size_t n = static_cast<size_t>(to - from);
    std::vector<uint32_t> lower(n), upper(n), out(n);
    std::vector<uint8_t> coverage(n), maskRow;
    for (int32_t y = 0; y < sourceSize.height; ++y) {
      const int32_t ty = y + dy;
      if (ty < 0 || ty >= targetSize.height) continue;
      const Rect targetRow{from + dx, ty, to - 1 + dx, ty};
      target.GetRect(targetRow, lower.data());
      source.GetRect({from, y, to - 1, y}, upper.data());
      RowCoverage(source, upper.data(), source.OffsetX() + from, source.OffsetY() + y, n, coverage.data(), maskRow);
      MergeRun(ModeNumber(source.BlendMode()), lower.data(), upper.data(), coverage.data(), OpacityWeight(source.Opacity()),
               out.data(), n);
      target.SetRect(targetRow, out.data());
    }
  }
  target.Undo().PushUndoStep(target, true);
}

std::unique_ptr<Layer> Canvas::MergeIntoNewLayer(const std::vector<int32_t>& indices, uint8_t baseAlpha) const {
  auto merged = std::make_unique<Layer>();
  if (merged->CreateWithAlpha(GetSize(), baseAlpha) != 0) return nullptr;
  std::vector<const Layer*> sources;
  for (int32_t index : indices) {
    const Layer* layer = GetLayer(index);
    if (layer && layer->GetSize().width > 0) sources.push_back(layer);
  }
  MergeStack(*merged, sources);
  return merged;
}

void Canvas::MergeStack(Layer& target, const std::vector<const Layer*>& sources) {
  const Rect bounds{0, 0, target.Width() - 1, target.Height() - 1};
  if (bounds.IsEmpty()) return;
  std::vector<MergePart> parts;
  int64_t work = 0;
  for (const Layer* source : sources) {
    const int32_t dx = source->OffsetX() - target.OffsetX(), dy = source->OffsetY() - target.OffsetY();
    const Rect area = source->Bounds().Offset(-target.OffsetX(), -target.OffsetY()).Intersected(bounds);
    if (area.IsEmpty()) continue;
    parts.push_back({source, area, dx, dy});
    work += int64_t{area.Width()} * area.Height();
  }
  if (parts.empty()) return;
  RunInBands(work, 0, bounds.bottom, static_cast<size_t>(target.Width()), parts.size(),
             [&](int32_t top, int32_t bottom, BandBuffers& buffers) { MergeRows(target, parts, top, bottom, buffers); });
  target.AddDirtyRect(0, 0, bounds.right, bounds.bottom);
}

std::unique_ptr<Layer> Canvas::MergeVisibleOntoTransparent() const {
  std::vector<int32_t> visible;
  for (int32_t i = 0; i < LayerCount(); ++i)
    if (m_layers[static_cast<size_t>(i)]->IsVisible()) visible.push_back(i);
  // With nothing visible the picture is wholly transparent.
  return MergeIntoNewLayer(visible, 0);
}

void Canvas::SetSelection(std::unique_ptr<Region> selection) {
  m_selection = std::move(selection);
  if (m_selection && m_selection->IsEmpty()) m_selection.reset();
  SelectionChanged();
}

void Canvas::ClearSelection() {
  m_selection.reset();
  SelectionChanged();
}

void Canvas::ReplaceSelection(std::unique_ptr<Region> selection, bool undoable) {
  if (selection && selection->IsEmpty()) selection.reset();
  if (!selection && !m_selection) return;
  ImageSurface* target = EditTarget();
  if (undoable && target != nullptr)
    target->Undo().PushStep(*target, std::make_unique<SelectionStep>(*this, std::move(m_selection)));
  m_selection = std::move(selection);
  SelectionChanged();
}

void Canvas::ExchangeSelection(std::unique_ptr<Region>& other) {
  if (other && other->IsEmpty()) other.reset();
  std::swap(m_selection, other);
  SelectionChanged();
}

void Canvas::SelectionChanged() {
  BindFacade();
  // What the views draw of the selection goes over the composite: the old outline must go.
  if (drawSelection && !m_layers.empty()) ComposeAll();
  if (onSelectionChanged) onSelectionChanged();
}

void Canvas::EditMaskImage(std::unique_ptr<ImageSurface> image) {
  if (ImageSurface* current = EditTarget())
    current->RevertUncommitted();
  m_maskImage = std::move(image);
  BindFacade();
}

void Canvas::EndMaskEdit() { EditMaskImage(nullptr); }

ImageSurface* Canvas::EditTarget() const {
  return m_maskImage ? m_maskImage.get() : static_cast<ImageSurface*>(m_activeLayer);
}

// The mask image lies on the canvas at the origin; a layer at its offset.
int32_t Canvas::EditOffsetX() const { return m_maskImage || !m_activeLayer ? 0 : m_activeLayer->OffsetX(); }
int32_t Canvas::EditOffsetY() const { return m_maskImage || !m_activeLayer ? 0 : m_activeLayer->OffsetY(); }

int32_t Canvas::StepHistory(bool forward) {
  ImageSurface* target = EditTarget();
  if (!target) return -1;
  const int32_t result = forward ? target->Undo().Redo(*target) : target->Undo().Undo(*target);
  RecomposeDirty(*target, EditOffsetX(), EditOffsetY());
  return result;
}

int32_t Canvas::Undo() { return StepHistory(false); }

int32_t Canvas::Redo() { return StepHistory(true); }

void Canvas::ApplyOperationToWhole(CanvasOperation& operation) {
  ImageSurface* target = EditTarget();
  if (!target) return;
  target->BackupAll(false, true);
  operation.Execute(*target, 1);
  operation.Execute(*target, 0);
  const Size size = target->GetSize();
  target->AddDirtyRect(0, 0, size.width - 1, size.height - 1);
  RecomposeDirty(*target, EditOffsetX(), EditOffsetY());
}

void Canvas::ApplyOperation(CanvasOperation& operation) {
  if (!m_selection) {
    ApplyOperationToWhole(operation);
    return;
  }
  ImageSurface* target = EditTarget();
  if (!target) return;
  const int32_t offsetX = EditOffsetX(), offsetY = EditOffsetY();
  // With a selection the operation works on a copy of the selection's bounding rectangle,
  // which then goes back through the selection's coverage as one undo step.
  const Rect bounds = m_selection->Bounds();
  const Rect inTarget{bounds.left - offsetX, bounds.top - offsetY, bounds.right - offsetX, bounds.bottom - offsetY};
  ImageSurface temporary;
  if (temporary.Create(bounds.Dimensions()) != 0) return;
  for (int32_t y = 0; y < temporary.Height(); ++y)
    target->GetRect({inTarget.left, inTarget.top + y, inTarget.right, inTarget.top + y}, temporary.Row(y));
  temporary.DiscardBackups();
  operation.Execute(temporary, 1);
  operation.Execute(temporary, 0);
  std::vector<uint32_t> pixels(static_cast<size_t>(temporary.Width()) * static_cast<size_t>(temporary.Height()));
  temporary.GetRect({0, 0, temporary.Width() - 1, temporary.Height() - 1}, pixels.data());
  RegionClippedImage through;
  through.Bind(target, m_selection.get(), -offsetX, -offsetY);
  through.SetRect(inTarget, pixels.data());
  target->Undo().PushUndoStep(*target, false);
  RecomposeDirty(*target, offsetX, offsetY);
}

void Canvas::DuplicateActiveLayer() {
  if (!m_activeLayer) return;
  auto copy = std::make_unique<Layer>();
  if (copy->Create(m_activeLayer->GetSize()) != 0) return;
  copy->CopyFrom(*m_activeLayer, {0, 0, m_activeLayer->Width() - 1, m_activeLayer->Height() - 1});
  copy->DiscardBackups();
  copy->SetBlendMode(m_activeLayer->BlendMode());
  copy->SetOffset(m_activeLayer->OffsetX(), m_activeLayer->OffsetY());
  copy->TakeNameOf(*m_activeLayer);
  copy->SetOpacity(m_activeLayer->Opacity());
  copy->SetVisible(true);
  // The copy goes right above the original and becomes the layer the user works on.
  const int32_t at = m_activeIndex + 1;
  m_layers.insert(m_layers.begin() + at, std::move(copy));
  SetActiveLayer(at);
  Refresh();
}

void Canvas::MoveActiveLayerUp() {
  const int32_t active = m_activeIndex;
  SwapLayers(active, active - 1);
  SetActiveLayer(active - 1);
}

void Canvas::MoveActiveLayerDown() {
  const int32_t active = m_activeIndex;
  SwapLayers(active, active + 1);
  SetActiveLayer(active + 1);
}

int32_t Canvas::DeleteLayers(const std::vector<int32_t>& selected) {
  if (selected.empty()) return 0;
  int32_t keptBase = 0;
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    if (*it == 0) {
      ++keptBase;
      continue;
    }
    DeleteLayer(*it);
  }
  Refresh();
  return keptBase;
}

std::vector<int32_t> Canvas::MergeDown(const std::vector<int32_t>& selected) {
  Layer* target = selected.empty() ? nullptr : GetLayer(selected.front());
  if (!target) return {};
  target->BackupAll(false, true);
  std::vector<int32_t> merged;
  for (size_t i = 1; i < selected.size(); ++i) {
    if (Layer* layer = GetLayer(selected[i])) {
      MergeInto(*target, *layer);
      merged.push_back(selected[i]);
    }
  }
  ComposeAll();
  Refresh();
  return merged;
}

std::vector<int32_t> Canvas::MergeWithBase(const std::vector<int32_t>& selected) {
  Layer* base = GetLayer(0);
  if (!base) return {};
  std::vector<int32_t> merged;
  for (int32_t index : selected) {
    if (index == 0) continue;
    if (Layer* layer = GetLayer(index)) {
      MergeInto(*base, *layer);
      merged.push_back(index);
    }
  }
  ComposeAll();
  Refresh();
  return merged;
}

void Canvas::AddMargin(int32_t left, int32_t right, int32_t top, int32_t bottom, bool replace) {
  if (!m_activeLayer) return;
  const Size size = m_activeLayer->GetSize();
  const int64_t width = int64_t{size.width} + left + right, height = int64_t{size.height} + top + bottom;
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) return;
  auto layer = std::make_unique<Layer>();
  if (layer->CreateWithAlpha({static_cast<int32_t>(width), static_cast<int32_t>(height)}, 0) != 0) return;
  layer->SetBlendMode(m_activeLayer->BlendMode());
  layer->SetOpacity(m_activeLayer->Opacity());
  layer->TakeNameOf(*m_activeLayer);
  layer->SetOffset(m_activeLayer->OffsetX() - left, m_activeLayer->OffsetY() - top);
  for (int32_t y = 0; y < size.height; ++y) {
    for (int32_t x = 0; x < size.width; ++x) {
      uint32_t pixel;
      if (m_activeLayer->GetPixel(x, y, &pixel)) layer->SetPixel(x + left, y + top, pixel);
    }
    if (y % 16 == 15) layer->DiscardBackups();
  }
  layer->DiscardBackups();
  if (replace)
    ReplaceLayer(m_activeIndex, std::move(layer));
  else
    AppendLayer(std::move(layer), true);
}

void Canvas::SetTool(int32_t slot, std::unique_ptr<PaintObject> tool) {
  if (slot < 0 || slot >= kToolSlots) return;
  if (m_pressedTool == m_tools[slot].get()) m_pressedTool = nullptr;
  m_tools[slot] = std::move(tool);
}

void Canvas::SetTemporaryTool(std::unique_ptr<PaintObject> tool) {
  if (m_pressedTool == m_temporaryTool.get()) m_pressedTool = nullptr;
  m_temporaryTool = std::move(tool);
}

PaintObject* Canvas::Tool(int32_t slot) const {
  return slot >= 0 && slot < kToolSlots ? m_tools[slot].get() : nullptr;
}

void Canvas::SelectTool(int32_t slot) {
  if (slot >= 0 && slot < kToolSlots) m_selectedTool = slot;
}

PaintObject* Canvas::ActiveTool() const {
  if (m_temporaryTool) return m_temporaryTool.get();
  if (m_penEndOverride) return Tool(*m_penEndOverride);
  return Tool(m_selectedTool);
}

void Canvas::FinishToolChange() {
  // The change the tool made becomes an undo step of the surface that holds the backups. A
  // change that saved no tile (a stroke wholly outside the layer) records no step, but it is a
  // new change all the same: the undone steps can no longer be redone, and the mark goes, which
  // left standing would cut the next stroke's first dab off into a step of its own.
  ImageSurface* edited = EditTarget();
  if (edited != nullptr && edited->IsModified()) edited->Undo().PushUndoStep(*edited, false);
}

bool Canvas::DeliverEvent(int32_t code, uint32_t flags, int32_t x, int32_t y, int32_t pressure,
                          const PenOrientation* orientation) {
  ImageSurface* target = DrawingTarget();
  PaintObject* tool = ActiveTool();
  if (target == nullptr || tool == nullptr) return false;
  if (pointFilter) pointFilter(x, y);
  // A tool changed in the middle of a drag (by a tool key, or the pen turned over) first ends
  // the drag of the one that heard the button go down, where it last was: left as it is, that
  // tool would go on painting at its next event with no button held.
  if (m_pressedTool != nullptr && m_pressedTool != tool) {
    PaintObject* pressed = std::exchange(m_pressedTool, nullptr);
    pressed->ButtonUp({target, m_pressedAt.flags & ~kToolLeftButton, m_pressedAt.x, m_pressedAt.y, m_pressedAt.pressure,
                       nullptr});
    FinishToolChange();
  }
  ToolEvent event{target, flags, x - EditOffsetX(), y - EditOffsetY(), pressure, orientation};
  if (code == kToolButtonDown) m_pressedTool = tool;
  if (tool == m_pressedTool) m_pressedAt = {flags, event.x, event.y, pressure};
  if (code == kToolButtonUp && tool == m_pressedTool) m_pressedTool = nullptr;
  bool answer = false;
  switch (code) {
    case kToolButtonDown: answer = tool->ButtonDown(event); break;
    case kToolButtonUp: answer = tool->ButtonUp(event); break;
    case kToolMove: answer = tool->Move(event); break;
    case kToolRightButtonDown: answer = tool->RightButtonDown(event); break;
    case kToolRightButtonUp: answer = tool->RightButtonUp(event); break;
    default: return false;
  }
  FinishToolChange();
  if (m_temporaryTool && m_temporaryTool->IsFinished()) SetTemporaryTool(nullptr);
  return answer;
}

}  // namespace varnel

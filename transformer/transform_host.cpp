#include "transformer/transform_host.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host.h"

namespace varnel {
namespace {

void Tell(const char* message) { GetHost().MessageBox(message, "", kMbOk | kMbIconWarning); }

// layer × target / canvas in integer division, as the layers of the all-layers resize are
// scaled; offsets may be negative and divide toward zero.
int32_t Scaled(int32_t value, int32_t target, int32_t canvas) {
  return static_cast<int32_t>(int64_t(value) * target / canvas);
}

// A new layer with every pixel white at the given alpha, the tile backups of its making gone.
std::unique_ptr<Layer> NewLayer(Size size, uint8_t alpha) {
  auto layer = std::make_unique<Layer>();
  if (layer->CreateWithAlpha(size, alpha) != 0) return nullptr;
  layer->DiscardBackups();
  return layer;
}

// Answers of AnsweringDialogs.
int32_t AnswerResize(void* context, void*, int32_t, int32_t, int32_t* width, int32_t* height, int32_t* method) {
  const auto& answers = *static_cast<const TransformAnswers*>(context);
  *width = answers.size.width;
  *height = answers.size.height;
  *method = answers.method;
  return 1;
}

int32_t AnswerRotate(void* context, void*, int32_t* degrees) {
  *degrees = static_cast<const TransformAnswers*>(context)->degrees;
  return 1;
}

int32_t AnswerParallelLine(void* context, void*, const VarnelBitmapInfoHeader*, const void*, double* degrees) {
  *degrees = static_cast<const TransformAnswers*>(context)->lineDegrees;
  return 1;
}

}  // namespace

TransformerLibrary::TransformerLibrary(std::string path) : m_path(std::move(path)) {}

bool TransformerLibrary::Load() {
  if (m_library.IsOpen()) return true;
  if (!m_library.Open(m_path.empty() ? kTransformerLibraryName : m_path)) return false;
  HandDialogs();
  return true;
}

void TransformerLibrary::SetDialogs(const TransformerDialogs& dialogs) {
  m_dialogs = dialogs;
  HandDialogs();
}

void TransformerLibrary::HandDialogs() const {
  if (!m_dialogs || !m_library.IsOpen()) return;
  if (auto set = m_library.Function<TransformerSetDialogs>("SetTransformerDialogs")) set(&*m_dialogs);
}

int32_t TransformerLibrary::CalculateSize(int32_t mode, void* owner, Size source, Size& out) const {
  auto calculate = m_library.Function<TransformerCalculateSize>("CalculateSize");
  if (calculate == nullptr) return -1;
  const int32_t size[2] = {source.width, source.height};
  int32_t outSize[2] = {0, 0};
  const int32_t answer = calculate(mode, owner, size, outSize);
  if (answer == 0) out = {outSize[0], outSize[1]};
  return answer;
}

bool TransformerLibrary::HasExecuteTransform() const { return m_library.Symbol("ExecuteTransform") != nullptr; }

bool TransformerLibrary::ExecuteTransform(int32_t mode, ImageSurface& source, ImageSurface& target) const {
  auto execute = m_library.Function<TransformerExecuteTransform>("ExecuteTransform");
  if (execute == nullptr) return false;
  execute(mode, source.Descriptor(), target.Descriptor());
  return true;
}

int32_t TransformerLibrary::ParallelLineRotate(void* owner, const ImageSurface& picture, Size& out) const {
  auto rotate = m_library.Function<TransformerParallelLineRotate>("ParallelLineRotate");
  if (rotate == nullptr) return -1;
  int32_t outSize[2] = {0, 0};
  const int32_t answer = rotate(owner, &picture.Descriptor()->header, picture.Bits(), outSize);
  if (answer == 0) out = {outSize[0], outSize[1]};
  return answer;
}

TransformerDialogs AnsweringDialogs(TransformAnswers& answers) {
  TransformerDialogs dialogs{};
  dialogs.context = &answers;
  dialogs.resize = AnswerResize;
  dialogs.rotate = AnswerRotate;
  dialogs.parallelLine = AnswerParallelLine;
  return dialogs;
}

std::optional<TransformResult> TransformLayers(Canvas& canvas, TransformerLibrary& library, int32_t mode,
                                               bool allLayers, void* owner) {
  Layer* active = canvas.ActiveLayer();
  if (canvas.LayerCount() == 0 || active == nullptr) return std::nullopt;
  if (!library.Load()) {
    Tell(kMsgTransformerMissing);
    return std::nullopt;
  }
  // Only the resize works on every layer.
  allLayers = allLayers && mode == kTransformResize;
  const Size source = allLayers ? canvas.GetSize() : active->GetSize();
  Size target;
  if (library.CalculateSize(mode, owner, source, target) != 0) return std::nullopt;
  if (source.width <= 0 || source.height <= 0 || target.width <= 0 || target.height <= 0) {
    Tell(kMsgZeroSize);
    return std::nullopt;
  }

  TransformResult result;
  result.canvas = target;
  if (!allLayers) {
    GetHost().SetStatusText(kStatusTransforming);
    std::unique_ptr<Layer> layer = NewLayer(target, 0);
    if (!layer) {
      GetHost().SetStatusText("");
      Tell(kMsgTransformNoMemory);
      return std::nullopt;
    }
    library.ExecuteTransform(mode, *active, *layer);
    layer->DiscardBackups();
    layer->TakeNameOf(*active);
    result.layers.push_back(std::move(layer));
    GetHost().SetStatusText("");
    return result;
  }

  const int32_t count = canvas.LayerCount();
  for (int32_t k = 1; k <= count; ++k) {
    GetHost().SetStatusText(std::string(kStatusTransforming) + " " + std::to_string(k) + "/" + std::to_string(count));
    Layer& from = *canvas.GetLayer(k - 1);
    // A layer scaled below one pixel keeps one, so no layer drops out of the picture.
    const Size size{std::max(Scaled(from.Width(), target.width, source.width), 1),
                    std::max(Scaled(from.Height(), target.height, source.height), 1)};
    std::unique_ptr<Layer> layer = NewLayer(size, 100);
    if (!layer) {
      GetHost().SetStatusText("");
      Tell(kMsgTransformNoMemory);
      return std::nullopt;
    }
    library.ExecuteTransform(mode, from, *layer);
    layer->DiscardBackups();
    layer->TakeNameOf(from);
    layer->SetBlendMode(from.BlendMode());
    layer->SetOpacity(from.Opacity());
    layer->SetVisible(from.IsVisible());
    layer->SetOffset(Scaled(from.OffsetX(), target.width, source.width),
                     Scaled(from.OffsetY(), target.height, source.height));
    result.layers.push_back(std::move(layer));
  }
  GetHost().SetStatusText("");
  return result;
}

std::optional<TransformResult> RotateToLine(const Canvas& canvas, TransformerLibrary& library, void* owner) {
  if (canvas.LayerCount() == 0) return std::nullopt;
  if (!library.Load()) {
    Tell(kMsgTransformerMissing);
    return std::nullopt;
  }
  std::unique_ptr<Layer> picture = CopyOperationTarget(canvas);
  if (!picture) {
    Tell(kMsgTransformNoMemory);
    return std::nullopt;
  }
  Size size;
  if (library.ParallelLineRotate(owner, *picture, size) != 0 || !library.HasExecuteTransform()) return std::nullopt;
  auto layer = std::make_unique<Layer>();
  if (layer->Create(size) != 0) {
    Tell(size.width > 0 && size.height > 0 ? kMsgTransformNoMemory : kMsgZeroSize);
    return std::nullopt;
  }
  layer->DiscardBackups();
  library.ExecuteTransform(kTransformRotate, *picture, *layer);
  layer->DiscardBackups();
  TransformResult result;
  result.canvas = size;
  result.layers.push_back(std::move(layer));
  return result;
}

std::unique_ptr<Layer> CopyOperationTarget(const Canvas& canvas) {
  const ImageSurface* target = canvas.MaskImage();
  if (target == nullptr) target = canvas.ActiveLayer();
  if (target == nullptr || target->Width() <= 0 || target->Height() <= 0) return nullptr;
  const Region* selection = canvas.Selection();
  auto copy = std::make_unique<Layer>();
  if (selection == nullptr || selection->IsEmpty()) {
    if (copy->CreateUnfilled(target->GetSize()) != 0) return nullptr;
    std::memcpy(copy->Bits(), target->Bits(), static_cast<size_t>(target->Stride()) * size_t(target->Height()));
  } else {
    const Rect bounds = selection->Bounds().Offset(-canvas.EditOffsetX(), -canvas.EditOffsetY());
    if (copy->Create(bounds.Dimensions()) != 0) return nullptr;
    for (int32_t y = 0; y < copy->Height(); ++y)
      target->GetRect({bounds.left, bounds.top + y, bounds.right, bounds.top + y}, copy->Row(y));
  }
  copy->DiscardBackups();
  if (const auto* layer = dynamic_cast<const Layer*>(target)) copy->TakeNameOf(*layer);
  return copy;
}

std::unique_ptr<Layer> FixedTransformed(const ImageSurface& source, FixedTransform transform) {
  const int32_t w = source.Width(), h = source.Height();
  if (w <= 0 || h <= 0) return nullptr;
  const bool turn = transform == FixedTransform::kTurnRight || transform == FixedTransform::kTurnLeft;
  auto target = std::make_unique<Layer>();
  if (target->CreateUnfilled(turn ? Size{h, w} : Size{w, h}) != 0) return nullptr;
  // Nothing of the new picture is worth keeping for undo: no backups while it is written.
  target->SetRestoring(true);
  std::vector<uint32_t> line(static_cast<size_t>(std::max(w, h))), other(line.size());
  switch (transform) {
    case FixedTransform::kTurnRight:
      for (int32_t r = 0; r < h; ++r) {
        source.GetRect({0, r, w - 1, r}, line.data());
        target->SetRect({h - 1 - r, 0, h - 1 - r, w - 1}, line.data());
      }
      break;
    case FixedTransform::kTurnLeft:
      for (int32_t r = 0; r < h; ++r) {
        source.GetRect({0, r, w - 1, r}, line.data());
        std::reverse(line.begin(), line.begin() + w);
        target->SetRect({r, 0, r, w - 1}, line.data());
      }
      break;
    case FixedTransform::kFlipVertical:
      std::memcpy(target->Bits(), source.Bits(), static_cast<size_t>(source.Stride()) * size_t(h));
      for (int32_t k = 0; k < h / 2; ++k) {
        target->GetRect({0, k, w - 1, k}, line.data());
        target->GetRect({0, h - 1 - k, w - 1, h - 1 - k}, other.data());
        target->SetRect({0, k, w - 1, k}, other.data());
        target->SetRect({0, h - 1 - k, w - 1, h - 1 - k}, line.data());
      }
      break;
    case FixedTransform::kFlipHorizontal:
      std::memcpy(target->Bits(), source.Bits(), static_cast<size_t>(source.Stride()) * size_t(h));
      for (int32_t k = 0; k < w / 2; ++k) {
        target->GetRect({k, 0, k, h - 1}, line.data());
        target->GetRect({w - 1 - k, 0, w - 1 - k, h - 1}, other.data());
        target->SetRect({k, 0, k, h - 1}, other.data());
        target->SetRect({w - 1 - k, 0, w - 1 - k, h - 1}, line.data());
      }
      break;
  }
  target->SetRestoring(false);
  target->DiscardBackups();
  target->ClearDirty();
  return target;
}

std::optional<TransformResult> ApplyFixedTransform(const Canvas& canvas, FixedTransform transform) {
  std::unique_ptr<Layer> picture = CopyOperationTarget(canvas);
  if (!picture) return std::nullopt;
  std::unique_ptr<Layer> turned = FixedTransformed(*picture, transform);
  if (!turned) {
    Tell(kMsgTransformNoMemory);
    return std::nullopt;
  }
  turned->TakeNameOf(*picture);
  TransformResult result;
  result.canvas = turned->GetSize();
  result.layers.push_back(std::move(turned));
  const Region* selection = canvas.Selection();
  const bool flip = transform == FixedTransform::kFlipVertical || transform == FixedTransform::kFlipHorizontal;
  if (flip && selection != nullptr && !selection->IsEmpty()) {
    // The picture is the selection's bounding rectangle, so the flipped selection moves with it
    // to the new picture's corner.
    auto flipped = std::make_unique<Region>();
    if (transform == FixedTransform::kFlipVertical)
      Region::FlipVertical(*selection, *flipped);
    else
      Region::FlipHorizontal(*selection, *flipped);
    if (!flipped->IsEmpty()) {
      flipped->Offset(-selection->Left(), -selection->Top());
      result.selection = std::move(flipped);
    }
  }
  return result;
}

bool PlaceTransformResult(Canvas& canvas, TransformResult result, bool compose) {
  if (result.layers.empty()) return true;
  for (auto& layer : result.layers) canvas.AppendLayer(std::move(layer), false);
  const bool sized = canvas.ResizeCanvas(result.canvas.width, result.canvas.height);
  if (result.selection) canvas.SetSelection(std::move(result.selection));
  if (compose) {
    canvas.ComposeAll();
    canvas.Composite().ClearDirty();
  }
  return sized;
}

}  // namespace varnel

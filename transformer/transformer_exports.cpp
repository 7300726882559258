// The exports of Transformer.so (declared in sdk/transformer.h) and the two values the library
// keeps between calls: the method of the last resize and the angle of the last rotation.
// Nothing thrown inside ever leaves them.

#include <cstring>
#include <mutex>
#include <vector>

#include "sdk/transformer.h"
#include "transformer/transformer.h"

namespace {

using namespace varnel;

struct LibraryState {
  std::mutex mutex;
  TransformerDialogs dialogs{};
  bool haveDialogs = false;
  ResampleMethod method = ResampleMethod::kBilinear;
  double angle = 0.0;
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

TransformerDialogs Dialogs(bool& have) {
  std::lock_guard lock(State().mutex);
  have = State().haveDialogs;
  return State().dialogs;
}

int32_t CalculateSizeImpl(int32_t mode, void* owner, const int32_t size[2], int32_t outSize[2]) {
  if (size == nullptr || outSize == nullptr) return -1;
  bool have = false;
  const TransformerDialogs dialogs = Dialogs(have);
  if (!have) return -1;
  if (mode == kTransformResize) {
    if (dialogs.resize == nullptr) return -1;
    int32_t width = size[0], height = size[1], method = 0;
    if (dialogs.resize(dialogs.context, owner, size[0], size[1], &width, &height, &method) != 1) return -1;
    std::lock_guard lock(State().mutex);
    State().method = method >= 0 && method < kTransformMethodCount ? static_cast<ResampleMethod>(method)
                                                                    : ResampleMethod::kBilinear;
    outSize[0] = width;
    outSize[1] = height;
    return 0;
  }
  if (mode == kTransformRotate) {
    if (dialogs.rotate == nullptr) return -1;
    int32_t degrees = 0;
    if (dialogs.rotate(dialogs.context, owner, &degrees) != 1) return -1;
    const double angle = TypedRotationAngle(degrees);
    {
      std::lock_guard lock(State().mutex);
      State().angle = angle;
    }
    const RotatedBounds bounds = RotatedBoundingSize(angle, size[0], size[1]);
    outSize[0] = bounds.width;
    outSize[1] = bounds.height;
    return 0;
  }
  return -1;
}

int32_t ExecuteTransformImpl(int32_t mode, ImageDescriptor* source, ImageDescriptor* target) {
  if (source == nullptr || target == nullptr || (mode != kTransformResize && mode != kTransformRotate)) return 0;
  ResampleMethod method;
  double angle;
  {
    std::lock_guard lock(State().mutex);
    method = State().method;
    angle = State().angle;
  }
  // Work on copies of the heads, as the design has it, and write them back at the end.
  ImageDescriptor from = *source;
  ImageDescriptor to = *target;
  // A picture handed over as both source and target would be read where it was already
  // written: read it from a copy.
  std::vector<uint8_t> pixels;
  std::vector<uint8_t*> rows;
  if (from.rows != nullptr && from.header.biWidth > 0 && from.header.biHeight > 0 &&
      (from.rows == to.rows || (from.bits != nullptr && from.bits == to.bits))) {
    const size_t stride = static_cast<size_t>(from.header.biWidth) * 4;
    pixels.resize(stride * static_cast<size_t>(from.header.biHeight));
    rows.resize(static_cast<size_t>(from.header.biHeight));
    for (size_t y = 0; y < rows.size(); ++y) {
      rows[y] = pixels.data() + y * stride;
      std::memcpy(rows[y], from.rows[y], stride);
    }
    from.rows = rows.data();
    from.bits = nullptr;
  }
  if (mode == kTransformResize)
    ResizeImage(from, to, method);
  else
    RotateImage(from, to, angle);
  ClearSavedTiles(to);
  to.modified = 0;
  *target = to;
  return 0;
}

}  // namespace

extern "C" {

TRANSFORMER_EXPORT int32_t CalculateSize(int32_t mode, void* owner, const int32_t size[2], int32_t outSize[2]) {
  try {
    return CalculateSizeImpl(mode, owner, size, outSize);
  } catch (...) {
    return -1;
  }
}

TRANSFORMER_EXPORT int32_t ExecuteTransform(int32_t mode, ImageDescriptor* source, ImageDescriptor* target) {
  try {
    return ExecuteTransformImpl(mode, source, target);
  } catch (...) {
    return 0;
  }
}

TRANSFORMER_EXPORT int32_t ExecuteMaskTransform(int32_t mode, TransformMask* source, TransformMask* target) {
  try {
    if (source == nullptr || target == nullptr) return 0;
    if (mode == kTransformResize) {
      ResizeMask(*source, *target);
    } else if (mode == kTransformRotate) {
      double angle;
      {
        std::lock_guard lock(State().mutex);
        angle = State().angle;
      }
      RotateMask(*source, *target, angle);
    }
  } catch (...) {
  }
  return 0;
}

TRANSFORMER_EXPORT int32_t ParallelLineRotate(void* owner, const VarnelBitmapInfoHeader* header, const void* bits,
                                              int32_t outSize[2]) {
  try {
    if (header == nullptr || outSize == nullptr) return -1;
    bool have = false;
    const TransformerDialogs dialogs = Dialogs(have);
    if (!have || dialogs.parallelLine == nullptr) return -1;
    double degrees = 0.0;
    if (dialogs.parallelLine(dialogs.context, owner, header, bits, &degrees) != 1) return -1;
    const double angle = LineRotationAngle(degrees);
    {
      std::lock_guard lock(State().mutex);
      State().angle = angle;
    }
    const RotatedBounds bounds = RotatedBoundingSize(angle, header->biWidth, header->biHeight);
    outSize[0] = bounds.width;
    outSize[1] = bounds.height;
    return 0;
  } catch (...) {
    return -1;
  }
}

TRANSFORMER_EXPORT int32_t EstimateSize(void*, void*, void*, void*) { return 0; }

TRANSFORMER_EXPORT int32_t Prepare(void*, void*, void*) { return 0; }

TRANSFORMER_EXPORT void SetTransformerDialogs(const TransformerDialogs* dialogs) {
  std::lock_guard lock(State().mutex);
  State().haveDialogs = dialogs != nullptr;
  State().dialogs = dialogs != nullptr ? *dialogs : TransformerDialogs{};
}

}  // extern "C"

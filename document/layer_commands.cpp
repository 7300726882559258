#include "document/layer_commands.h"

#include <algorithm>

#include "platform/host.h"

namespace varnel {
namespace {

void OfferToDelete(Canvas& canvas, const std::vector<int32_t>& merged) {
  if (merged.empty()) return;
  if (GetHost().MessageBox(kAskDeleteMerged, "", kMbYesNo | kMbIconQuestion) == kIdYes)
    DeleteSelectedLayers(canvas, merged);
}

}  // namespace

void DeleteSelectedLayers(Canvas& canvas, const std::vector<int32_t>& selected) {
  if (selected.empty()) return;
  if (GetHost().MessageBox(kAskDeleteLayers, "", kMbYesNo | kMbIconQuestion) != kIdYes) return;
  for (int32_t kept = canvas.DeleteLayers(selected); kept > 0; --kept) GetHost().MessageBox(kCannotDeleteBase, "", kMbOk);
}

void MergeDown(Canvas& canvas, const std::vector<int32_t>& selected) {
  // One layer alone has nothing to merge into it: say how to merge rather than leave an undo
  // step that changes nothing.
  if (selected.size() < 2) {
    GetHost().MessageBox(kSelectLayers, "", kMbOk);
    return;
  }
  OfferToDelete(canvas, canvas.MergeDown(selected));
}

void MergeWithBase(Canvas& canvas, const std::vector<int32_t>& selected) {
  if (std::none_of(selected.begin(), selected.end(), [](int32_t index) { return index != 0; })) {
    GetHost().MessageBox(kSelectLayers, "", kMbOk);
    return;
  }
  OfferToDelete(canvas, canvas.MergeWithBase(selected));
}

std::unique_ptr<Layer> MergeIntoNewDocument(const Canvas& canvas, const std::vector<int32_t>& indices) {
  if (indices.empty()) {
    GetHost().MessageBox(kSelectLayers, "", kMbOk);
    return nullptr;
  }
  WaitCursor wait;
  std::unique_ptr<Layer> merged = canvas.MergeIntoNewLayer(indices);
  if (!merged) GetHost().MessageBox(kDocumentFailed, "", kMbOk);
  return merged;
}

std::unique_ptr<Layer> MergeAll(const Canvas& canvas) {
  std::vector<int32_t> all(static_cast<size_t>(canvas.LayerCount()));
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) all[static_cast<size_t>(i)] = i;
  return MergeIntoNewDocument(canvas, all);
}

}  // namespace varnel

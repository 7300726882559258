#pragma once
// The layer commands that talk to the user: the confirmations and messages around the canvas's
// layer operations, through the host. Both programs run them.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/canvas.h"

namespace varnel {

inline constexpr const char* kAskDeleteLayers = "レイヤを削除します。よろしいですか？";
inline constexpr const char* kCannotDeleteBase = "最下位レイヤは削除できません";
inline constexpr const char* kAskDeleteMerged = "結合したレイヤを削除しますか？";
inline constexpr const char* kSelectLayers = "複数のレイヤを選択してください";
inline constexpr const char* kDocumentFailed = "ドキュメントの作成に失敗しました";

// Asks first; on yes deletes the selected layers from the last to the first, telling the user
// that the base layer stays each time it is met.
void DeleteSelectedLayers(Canvas& canvas, const std::vector<int32_t>& selected);
// Merge, then offer to delete what was merged (the deletion asks its own confirmation).
void MergeDown(Canvas& canvas, const std::vector<int32_t>& selected);
void MergeWithBase(Canvas& canvas, const std::vector<int32_t>& selected);
// The merged layer of a new document, under the wait cursor; null after telling the user that
// nothing was selected or that the layer could not be made.
std::unique_ptr<Layer> MergeIntoNewDocument(const Canvas& canvas, const std::vector<int32_t>& indices);
// The same with every layer, index 0 upward.
std::unique_ptr<Layer> MergeAll(const Canvas& canvas);

}  // namespace varnel

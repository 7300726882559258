#pragma once
// The program's side of the geometric transforms, without a user interface: loading
// Transformer.so on first use, the resize and rotations through it, and the four fixed turns
// and flips the program does itself. Every command leaves the source picture as it was and
// hands back what the new document holds. Messages go to the user through GetHost().

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/layer.h"
#include "core/region.h"
#include "platform/dynamic_library.h"
#include "sdk/transformer.h"

namespace varnel {

// The library by the design's name; the loader maps it to Transformer.so in the program folder.
inline constexpr const char* kTransformerLibraryName = "Transformer.dll";
inline constexpr const char* kMsgTransformerMissing = "Transformライブラリが見つかりません";
inline constexpr const char* kMsgZeroSize = "サイズを0にすることはできません";
inline constexpr const char* kMsgTransformNoMemory = "メモリが足りません";
inline constexpr const char* kStatusTransforming = "変形を実行中です";

class TransformerLibrary {
 public:
  // An empty path loads kTransformerLibraryName.
  explicit TransformerLibrary(std::string path = {});
  TransformerLibrary(const TransformerLibrary&) = delete;
  TransformerLibrary& operator=(const TransformerLibrary&) = delete;

  // Loads the library unless it is loaded; false when it cannot be.
  bool Load();
  bool IsLoaded() const { return m_library.IsOpen(); }
  // The dialogs the library shows (copied; the context must outlive their use). Handed to the
  // library now when it is loaded, else when it loads.
  void SetDialogs(const TransformerDialogs& dialogs);

  // The exports. A missing CalculateSize or ParallelLineRotate answers -1 as Cancel does; a
  // missing ExecuteTransform leaves the target alone and answers false.
  int32_t CalculateSize(int32_t mode, void* owner, Size source, Size& out) const;
  bool HasExecuteTransform() const;
  bool ExecuteTransform(int32_t mode, ImageSurface& source, ImageSurface& target) const;
  int32_t ParallelLineRotate(void* owner, const ImageSurface& picture, Size& out) const;

 private:
  void HandDialogs() const;

  std::string m_path;
  DynamicLibrary m_library;
  std::optional<TransformerDialogs> m_dialogs;
};

// Dialog answers given in advance, for the command line and for tests: every dialog answers OK
// with these values. The answers must outlive the dialogs made from them.
struct TransformAnswers {
  Size size;               // "RESIZE": 幅 and 高さ
  int32_t method = 0;      // "RESIZE": 拡大時補間手法, 0…5
  int32_t degrees = 0;     // "回転": 角度
  double lineDegrees = 0;  // "平行線で回転": 度数 of the line drawn
};
TransformerDialogs AnsweringDialogs(TransformAnswers& answers);

// What a transform opens as its new document: the layers bottom first, the canvas size and,
// for the flips of a selected part, the selection flipped with it.
struct TransformResult {
  std::vector<std::unique_ptr<Layer>> layers;
  Size canvas;
  std::unique_ptr<Region> selection;
};

// "画像のサイズ変更" (mode kTransformResize; of every layer with allLayers, each scaled by the
// canvas's ratio) and "画像の任意回転(&R)" (mode kTransformRotate, the active layer). Nothing
// when the document has no layer or the dialog was cancelled; the missing library, a size of
// 0 and a failed allocation are told. The owner window goes to the library's dialogs.
std::optional<TransformResult> TransformLayers(Canvas& canvas, TransformerLibrary& library, int32_t mode,
                                               bool allLayers, void* owner);
// "直線にあわせて回転(&P)": the picture the canvas's operations work on (the active layer, or
// the selection's bounding rectangle of it) turned so the line drawn in "平行線で回転" lies
// level, into an opaque white image.
std::optional<TransformResult> RotateToLine(const Canvas& canvas, TransformerLibrary& library, void* owner);

enum class FixedTransform {
  kTurnRight,       // "右90度回転": target (H − 1 − r, x) = source (x, r)
  kTurnLeft,        // "左90度回転": target (r, W − 1 − x) = source (x, r)
  kFlipVertical,    // "上下反転": rows k and H − 1 − k exchanged while k < H / 2
  kFlipHorizontal,  // "左右反転": columns k and W − 1 − k exchanged likewise
};
// The picture the canvas's operations work on, turned or flipped; the flips carry a selection
// along, flipped within its rectangle.
std::optional<TransformResult> ApplyFixedTransform(const Canvas& canvas, FixedTransform transform);
// One picture turned or flipped through whole rows and columns; null without memory.
std::unique_ptr<Layer> FixedTransformed(const ImageSurface& source, FixedTransform transform);

// A copy of what a canvas operation would work on: the mask image under edit, else the active
// layer; with a selection only its bounding rectangle (parts beyond the picture opaque white).
// Null when there is nothing or no memory. No backups, no undo step.
std::unique_ptr<Layer> CopyOperationTarget(const Canvas& canvas);

// Puts a result into a canvas without layers (a new document's): its layers in order, its
// canvas size and selection; composed unless the caller composes what it needs itself. False
// when the canvas cannot have the result's size.
bool PlaceTransformResult(Canvas& canvas, TransformResult result, bool compose = true);

}  // namespace varnel

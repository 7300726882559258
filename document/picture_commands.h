#pragma once
// What the picture's selection, channel, clipboard and information commands do, without any
// user interface: the menus ask their questions (dialogs, values, file names) and call these
// with the answers. Every command works on the canvas it is given and does nothing when that
// canvas has no active layer.
//
// Conventions shared by the commands:
// - Selections are regions in canvas coordinates; a layer's pixel (x, y) lies at canvas
//   (x + offset x, y + offset y).
// - Commands that change the selection record the previous one as an undo step in the drawing
//   target's history (Canvas::ReplaceSelection), so Ctrl+Z takes it back in order with painting.
// - Commands that change the active layer's pixels back up the tiles they touch and push one
//   undo step on the active layer, then recompose the changed part of the canvas.
// - "Coverage" is the selection's byte at a pixel. Where a command writes a new value t over an
//   old value v under partial coverage m (1…254), it writes what a stroke through the selection
//   writes: v + ((t − v) × m) >> 8; coverage 255 writes t, coverage 0 keeps v.
// - Where a command takes the selected part of a layer, coverage m scales the alpha a as the
//   compositor applies a mask: ((m + 1) × a) >> 8 (255 keeps a, 0 gives 0).
// - Pixels are 0xAARRGGBB words (BGRA in memory), not premultiplied.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/canvas.h"
#include "core/region.h"

namespace varnel {

inline constexpr const char* kCannotReadRegionFile = "選択領域が読み込めません";
inline constexpr const char* kCannotWriteRegionFile = "選択領域を保存できません";
// The files of the clipboard's layer data and of the clone source, in the program folder or,
// when that is read-only, in the data folder (WritablePath).
inline constexpr const char* kLayerDataFile = "cachedData.vlb";
inline constexpr const char* kCloneSourceLayerFile = "cloneSource.vlb";

// ---- selection ----------------------------------------------------------------------------
// Each answers 0 when the selection was changed, -1 when nothing happened.

// The whole canvas, (0, 0)–(width − 1, height − 1), every byte 255.
int32_t SelectAll(Canvas& canvas);
// Removes the selection; undoable like the other selection changes, so a selection built with
// care is not lost to a stray Ctrl+Q. -1 when there was none.
int32_t Deselect(Canvas& canvas);
// The complement within the canvas, trimmed. Without a selection nothing happens.
int32_t InvertSelection(Canvas& canvas);
// The active layer's alpha as the selection, placed at the layer's offset, trimmed (a layer
// without any alpha leaves no selection).
int32_t AlphaToSelection(Canvas& canvas);
// One pixel of dilation, trimmed; one pixel of erosion (which may leave no selection).
int32_t GrowSelection(Canvas& canvas);
int32_t ShrinkSelection(Canvas& canvas);
// Softens the selection's edge with a cone of the given diameter; nothing for a diameter below
// 2 or without a selection.
int32_t FeatherSelection(Canvas& canvas, int32_t diameter);
// Writes the selection to a region file. -1 without a selection, or with the message
// kCannotWriteRegionFile when the file cannot be written (an existing file is then kept).
int32_t SaveSelection(const Canvas& canvas, const std::string& path);
// Reads a region file as the selection. A region whose left edge lies at or beyond the canvas
// width is moved left by its left coordinate, one whose top edge lies at or beyond the canvas
// height up by its top coordinate, so a selection saved from a larger picture lands at the
// origin. The result is trimmed (a file of zeros leaves no selection). A broken or unreadable
// file shows kCannotReadRegionFile, keeps the current selection and answers -1.
int32_t LoadSelection(Canvas& canvas, const std::string& path);
// Adds the selection to the active layer's mask list (disabled, as every new mask). Answers the
// mask's index, or -1 without a selection or when its file cannot be written.
int32_t AddSelectionToMaskList(Canvas& canvas);

// ---- pixels of the active layer -----------------------------------------------------------
// Each answers 0 when it ran (one undo step on the active layer), -1 when nothing happened.

// The selection's strengths become the active layer's alpha: inside the selection alpha is the
// coverage, everywhere else 0, so the layer shows exactly the selected area, softly edged; the
// colours are kept, so alpha → region → alpha gives the layer back. Without a selection nothing
// happens.
int32_t SelectionToAlpha(Canvas& canvas);
// Fills the selected area with colour (0xAARRGGBB), weighted by coverage as a stroke through
// the selection would be. Without a selection nothing happens.
int32_t FillSelection(Canvas& canvas, uint32_t colour);

enum class Channel : int32_t { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

// The channel commands change one channel and keep the other three. With a selection only the
// selected pixels change (weighted by coverage); without one, the whole layer.
int32_t ClearChannel(Canvas& canvas, Channel channel);   // v := 0
int32_t InvertChannel(Canvas& canvas, Channel channel);  // v := 255 − v
// Every pixel's alpha := value (0…255; anything else is refused with -1).
int32_t UnifyAlpha(Canvas& canvas, int32_t value);

// ---- new layers ----------------------------------------------------------------------------
// Each new layer is named as AddLayer names it ("レイヤ%d"), goes on top of the stack and
// becomes the active layer (the user goes on working on what was just made). Null when nothing
// was made.

// The selected part of the active layer, coverage applied to alpha, at its canvas place (the
// selection's bounds cut to the layer); without a selection a copy of the whole layer. The
// active layer's blend mode and opacity go with it, so the picture looks the same.
Layer* SelectionToLayer(Canvas& canvas);
// One channel of the active layer as a grey picture of the layer's size and place: red, green
// or blue as grey keeping the pixel's alpha (where the channel lies in the picture stays
// visible), alpha as grey on an opaque layer (white opaque, black transparent). The whole layer,
// whatever the selection: the result is a picture of the channel, to be edited and used as one.
Layer* ChannelToLayer(Canvas& canvas, Channel channel);
// A picture (from the clipboard) as one new layer at the origin, the picture's size.
Layer* PasteImageAsLayer(Canvas& canvas, const ImageSurface& picture);
// Every layer of a layer list file (the clipboard's layer data) added on top in file order,
// names and attributes as the file has them; the last one becomes active. Answers how many were
// added; an unreadable file or one without layers shows "画像が読み込めません" and answers -1.
int32_t PasteLayerFile(Canvas& canvas, const std::string& path);

// ---- clipboard -----------------------------------------------------------------------------

// The clipboard's layer-data block: a 32-bit little-endian length (path length + 1), the path
// bytes and a terminating zero. Paths longer than kMaxLayerDataPath − 1 bytes or holding a zero
// byte give an empty vector.
inline constexpr size_t kMaxLayerDataPath = 4096;
std::vector<uint8_t> MakeLayerDataBlock(const std::string& path);
// The path of a block, or nothing when the block is not exactly one: the length must equal the
// bytes after it, lie in 2…kMaxLayerDataPath, end with the only zero byte, and the path must be
// absolute (a block may come from another program; a relative path would be taken against
// whatever folder the program happens to run in).
std::optional<std::string> ParseLayerDataBlock(std::span<const uint8_t> block);
// PasteLayerFile of the block's path; a block that does not parse shows "画像が読み込めません".
int32_t PasteLayerData(Canvas& canvas, std::span<const uint8_t> block);

// The selected part of the active layer (coverage applied to alpha; the whole layer without a
// selection) as a layer at its canvas place, with the active layer's name, blend mode and
// opacity. Null without an active layer or when the selection does not touch the layer.
std::unique_ptr<Layer> ExtractSelectedPart(const Canvas& canvas);
// Copy: writes ExtractSelectedPart as a layer list to kLayerDataFile and
// answers the block for the clipboard. Nothing without a part to copy. File system errors throw
// FileError.
std::optional<std::vector<uint8_t>> CopyLayerData(const Canvas& canvas);
// Cut: Copy, then the copied part is cleared (colour and alpha toward 0 by coverage) with one
// undo step. Nothing is cleared unless the copy was written.
std::optional<std::vector<uint8_t>> CutLayerData(Canvas& canvas);
// "ビットマップとしてコピー": the selected part as a picture; "表示サーフェイスのコピー": a copy of the
// composite as the views show it.
std::unique_ptr<ImageSurface> SelectionBitmap(const Canvas& canvas);
std::unique_ptr<ImageSurface> CompositeCopy(const Canvas& canvas);

// ---- files of the program folder -----------------------------------------------------------

// Deletes every regular file directly in the quick saves' Save folder whose name ends in
// ".vlb" in any case (quick saves are written ".VLB"); nothing else, no sub-folder, no link.
// Answers how many were deleted, -1 when the folder cannot be read.
int32_t EmptyQuickSaveFolder();
// Writes the active layer as a layer list to kCloneSourceLayerFile; the caller
// then has the brush reload its clone source. -1 without an active layer; file system errors
// throw FileError.
int32_t WriteCloneSource(const Canvas& canvas);

// ---- information ---------------------------------------------------------------------------

struct PictureInfo {
  Size canvasSize;
  int32_t layerCount = 0;
  int32_t activeIndex = -1;  // -1 without layers
  std::string activeName;
  Size activeSize;
  int32_t offsetX = 0, offsetY = 0;
  BlendMode blendMode = BlendMode::kNormal;
  int32_t opacity = 0;
  bool visible = false;
  int32_t maskCount = 0;
  std::optional<Rect> selection;  // the selection's rectangle
  std::string path;               // empty for a picture not yet saved
};
PictureInfo GetPictureInfo(const Canvas& canvas, const std::string& path);
// The lines the information box shows, '\n' between them.
std::string PictureInfoText(const PictureInfo& info);

struct ChannelStatistics {
  double average = 0;
  int32_t mode = 0;  // the most frequent value; the smallest of equally frequent ones
  double standardDeviation = 0;  // of the population
  int32_t minimum = 0, maximum = 0;
};
struct PictureStatistics {
  uint64_t pixelCount = 0;
  bool withinSelection = false;
  std::array<ChannelStatistics, 4> channels;  // red, green, blue, alpha
};
// Over the active layer's pixels; with a selection over those whose coverage is not 0 (each
// counted once, whatever its coverage). Nothing without an active layer or without any pixel.
std::optional<PictureStatistics> ComputeStatistics(const Canvas& canvas);
std::string StatisticsText(const PictureStatistics& statistics);

// ---- the area outside the selection on screen ----------------------------------------------

// REGIONVIEWMODE, in the order of the menu's command ids 33104 and 33103, 33105 … 33109.
enum RegionViewMode : int32_t {
  kRegionViewNone = 0,
  kRegionViewInverted = 1,
  kRegionViewBlack = 2,
  kRegionViewChecker = 3,
  kRegionViewWhite = 4,
  kRegionViewDarker = 5,
  kRegionViewBrighter = 6,
};
// The checkerboard's cells are 8 × 8 canvas pixels, light where (x ÷ 8 + y ÷ 8) is even.
inline constexpr uint8_t kCheckerLight = 0xFF;
inline constexpr uint8_t kCheckerDark = 0xCC;

// Rewrites display pixels of the canvas rectangle area (inclusive) for the given mode: row r of
// the rectangle starts at firstRow + r × rowStride (pixels; negative for bottom-up images).
// Outside the selection (coverage 0) a pixel's colour becomes the mode's shown colour s:
// inverted 255 − v, black 0, white 255, the checker's grey, darker v >> 1, brighter
// v + ((255 − v) >> 1). A partly covered pixel becomes (s × (255 − m) + v × m) ÷ 255, rounded.
// Alpha is kept. Nothing changes without a selection, for mode none or an unknown mode.
void ShowOutsideSelection(int32_t mode, const Region* selection, const Rect& area, uint32_t* firstRow,
                          ptrdiff_t rowStride);

}  // namespace varnel

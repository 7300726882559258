#pragma once
// Opening a picture into a canvas and writing a canvas to a file, as the document commands do:
// layer files of both kinds, and the composite as a 24-bit bitmap. Qt-free, so the desktop
// program and the command-line tool open and save alike.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "core/canvas.h"
#include "document/layer_file.h"

namespace varnel {

inline constexpr const char* kCannotReadPicture = "画像が読み込めません";
inline constexpr const char* kLayersWillBeLost = "VLB形式以外ではレイヤ情報が失われます。よろしいですか？";
inline constexpr const char* kBuildingCanvas = "キャンバスを作成中";
inline constexpr const char* kNoWriterForFormat = "この形式では保存できません";

// What a picture file gave before it goes into a canvas.
struct OpenedPicture {
  enum class Kind { kLayerFile, kLayerList, kBitmap, kPlugin };
  Kind kind = Kind::kLayerFile;
  LayerList layers;
  std::optional<Size> canvasSize;      // from the file's canvas chunk
  std::optional<GridSettings> grid;    // chunked layer files only
};

// Reads a picture. Layer files (by their path) of either kind; other files are read by the
// picture readers. -1 when nothing usable could be read (the caller shows kCannotReadPicture);
// a file that holds no layer counts as unreadable.
// message, when given, receives the reader's own reason (empty when it has none).
int32_t ReadPicture(const std::string& path, OpenedPicture& picture, std::string* message = nullptr);

// Adds the picture's layers to the canvas in file order. A canvas that had no layers takes
// the file's canvas size when it has one, else the size of its first layer; then the whole
// canvas is composed, unless the caller composes what it needs itself. False when the file's
// canvas size is more than a picture can have: the canvas has the layers but not that size.
bool PlacePicture(Canvas& canvas, OpenedPicture& picture, bool compose = true);

// Composes what writing the canvas to path reads of the composite: for a layer file only the
// rows its preview is taken from, for anything else the whole picture.
void ComposeForWriting(Canvas& canvas, const std::string& path);

// Converts a chunked layer file into a layer file byte for byte as ReadPicture, PlacePicture
// without composing, ComposeForWriting and WriteCanvas with the file's grid would, but reads of
// the layers' pixels only the rows the preview is taken from: the rest is written straight from
// the mapped input file. False, with nothing written, when in is not a chunked layer file that
// ReadPicture would open or out is not a layer file path: the caller takes the general way
// (which also tells why in cannot be read). File system errors throw FileError.
bool CopyLayerFile(const std::string& in, const std::string& out);

// Opens a picture as a new document's canvas; -1 as ReadPicture.
int32_t OpenPicture(const std::string& path, Canvas& canvas, std::optional<GridSettings>* grid = nullptr);

// The canvas's layers in order.
LayerRefs CanvasLayers(const Canvas& canvas);

enum class SaveResult { kWritten, kNothingToWrite, kDeclined, kNoWriter, kFailed };

// Writes the canvas by the path's extension: a layer file (every layer, the canvas size, the
// preview of the composite, the grid), a bitmap (the composite as 24 bits), else the picture
// writers (every layer and the composite for a writer that keeps layers). The composite must be
// up to date. A file system error of a layer file throws
// FileError; every other failure is the answer.
SaveResult WriteCanvas(const std::string& path, const Canvas& canvas, const GridSettings& grid);

// Saving the active layer: a layer file gets that one layer with the canvas size, the
// composite's preview and the grid; a bitmap gets the layer's own pixels as 24 bits; any other
// extension the layer's own pixels through the picture writers. kNothingToWrite without an
// active layer. File system errors of a layer file throw FileError.
SaveResult SaveActiveLayer(const std::string& path, const Canvas& canvas, const GridSettings& grid);

// Saving a document: asks before a layered picture goes to a format without layers, or a
// picture with layer masks to a layered plug-in format (which receives no masks), keeps the
// previous file as path + ".bak" when backup is on (an existing backup is kept instead), then
// writes.
SaveResult SaveDocument(const std::string& path, const Canvas& canvas, const GridSettings& grid, bool backup);

// The quick-save file name for a local time: "Y%4dM%2dD%2dH%2dM%2dS%2d.VLB", the two-digit
// fields padded with a space ("Y2005M 3D 7H 9M 5S 2.VLB").
std::string QuickSaveFileName(const std::tm& local);
// The "Save" folder (WritablePath: the data folder's when the program folder is read-only) + that
// name. The program folder's Save is not created.
std::string QuickSavePath(const std::tm& local);

}  // namespace varnel

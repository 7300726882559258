#pragma once
// The program's picture loader: Windows bitmaps by the built-in reader, every other format
// through the picture plug-ins (".spi") of the program folder and of the folder the setting
// SusieFolder names. A plug-in that has read a file once is asked first from then on. The
// picture writers: the first plug-in that saves an extension writes it.

#include <cstdint>
#include <string>
#include <vector>

#include "core/layer.h"
#include "core/surface.h"
#include "platform/dynamic_library.h"
#include "sdk/varnel_picture_plugin.h"

namespace varnel {

inline constexpr const char* kTopDownBitmap = "トップダウンビットマップ？";

// Reads the picture at path into surface (32 bits per pixel). -1 with message set on failure
// (the built-in reader's reason, or the loader's own, for the caller to show before
// "画像が読み込めません"; empty when there is nothing more to say).
int32_t LoadPicture(const std::string& path, ImageSurface& surface, std::string& message);

// True for the extensions the built-in bitmap reader takes: "bmp", "dib", "vrb", any case.
bool IsBuiltInBitmapPath(const std::string& path);

enum class LayerRead { kRead, kNotLayered, kFailed };

// Reads a picture whose plug-in keeps layers (the optional GetLayers of the picture plug-in
// interface): canvas receives the picture's size and layers its layers, bottom first, each
// placed at its offset on a transparent layer of the canvas size (what lies beyond the canvas is
// cut off). Warnings the plug-in gives are shown as message boxes. kNotLayered when the file's
// plug-in reads single pictures only (LoadPicture then reads it); layers is empty unless kRead.
LayerRead LoadLayers(const std::string& path, Size& canvas, std::vector<std::unique_ptr<Layer>>& layers);

// Opacity 0…100 as the plug-in interface's 0…255 and back; every percentage survives the trip.
uint8_t OpacityToByte(int32_t percent);
int32_t OpacityFromByte(uint8_t value);

enum class PictureWrite { kWritten, kNoWriter, kFailed };

// Writes a 32-bit picture through the first plug-in whose IsSaveSupported accepts the path's
// extension (the text after the last ".").
PictureWrite WritePicture(const std::string& path, const ImageSurface& picture);

// The save plug-in for a path's extension, as WritePicture finds it, loaded while the writer
// lives.
class PictureWriter {
 public:
  // False when no plug-in saves the extension.
  bool Open(const std::string& path);
  // The plug-in keeps the alpha channel of what it writes (its optional SavesAlpha says so).
  bool KeepsAlpha() const;
  // The plug-in writes every layer (its optional SavesLayers and WriteLayers say so).
  bool KeepsLayers() const;
  PictureWrite Write(const std::string& path, const ImageSurface& picture) const;
  // Writes the layers (bottom first, at their offsets) of a canvas of merged's size, and merged
  // as the picture shown. Warnings the plug-in gives are shown as message boxes.
  PictureWrite WriteLayers(const std::string& path, const std::vector<const Layer*>& layers,
                           const ImageSurface& merged) const;

 private:
  DynamicLibrary m_library;
  std::string m_extension;
  VarnelWriteImage m_writeImage = nullptr;
  VarnelSavesAlpha m_savesAlpha = nullptr;
  VarnelSavesLayers m_savesLayers = nullptr;
  VarnelWriteLayers m_writeLayers = nullptr;
};

// Whether the save plug-in for the path's extension keeps layers.
bool WriterKeepsLayers(const std::string& path);

// The plug-in files ("*.spi", any case) of one folder, sorted by name so that the same plug-in
// wins every time; none when the folder cannot be read. Shared with the image file gateway.
std::vector<std::string> SpiFiles(const std::string& folder);

// The plug-in files the loader looks at, in order: the program folder, then SusieFolder.
std::vector<std::string> PluginFiles();

// Forgets the plug-ins kept from earlier loads (when the plug-in folders change).
void ReleasePictureLoaders();

}  // namespace varnel

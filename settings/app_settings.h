#pragma once
// The application's persistent settings: every value the program keeps between runs in the
// profile, with its key spelled as stored and its default.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/profile.h"

namespace varnel {

inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kGeneralSection = "General";
inline constexpr const char* kButtonSettingSection = "ButtonSetting";

// Default values as the program ships them. Colours are 0x00BBGGRR.
inline constexpr int32_t kDefaultNewImageSize = 19661100;  // 0x012C012C: 300 x 300
inline constexpr int32_t kDefaultMarginColor = 14474460;   // 0xDCDCDC
inline constexpr int32_t kDefaultBrushSize = 131074;       // 0x00020002: 2 x 2
inline constexpr int32_t kDefaultMainWindowCX = 600;
inline constexpr int32_t kDefaultMainWindowCY = 480;

// A size packed into one value: width in the high 16 bits, height in the low 16 bits.
struct PackedSize {
  int32_t width;
  int32_t height;
};
constexpr PackedSize UnpackSize(int32_t packed) {
  const uint32_t v = static_cast<uint32_t>(packed);
  return {static_cast<int32_t>(v >> 16), static_cast<int32_t>(v & 0xFFFF)};
}
constexpr int32_t PackSize(int32_t width, int32_t height) {
  return static_cast<int32_t>((static_cast<uint32_t>(width & 0xFFFF) << 16) |
                              static_cast<uint32_t>(height & 0xFFFF));
}

struct AppSettings {
  int32_t shellRegist = 0;         // SHELLREGIST
  int32_t mutex = 0;               // MUTEX
  int32_t newImageSize = kDefaultNewImageSize;  // NEWIMAGESIZE
  int32_t brushCursorOn = 0;       // BRUSHCURSORON
  int32_t showDragObject = 0;      // SHOWDRAGOBJECT
  int32_t rulerOn = 0;             // RULERON
  int32_t regionViewMode = 0;      // REGIONVIEWMODE
  int32_t marginColor = kDefaultMarginColor;  // MarginColor
  int32_t isMaximized = 0;         // ISMAXIMIZED
  int32_t mainWindowCX = kDefaultMainWindowCX;
  int32_t mainWindowCY = kDefaultMainWindowCY;
  int32_t mainWindowX = 0;
  int32_t mainWindowY = 0;
  std::string susieFolder;         // SusieFolder
  int32_t debugLevel = 0;          // DebugLevel
  int32_t backupSave = 0;          // BACKUPSAVE
  int32_t colorPaletteVisible = 0; // ColorPalette.Visible
  int32_t brushSize = kDefaultBrushSize;  // BRUSHSIZE
  std::optional<int32_t> fgColor;  // FGCOLOR (no default: the colour tools decide)
  std::optional<int32_t> bgColor;  // BGCOLOR
  int32_t brushBrowserVisible = 0; // BrushBrowser.Visible, section General
  int32_t brushBrowserPos = 0;     // BRUSH_BROWSER_POS
  int32_t brushBrowserSize = 0;    // BRUSH_BROWSER_SIZE
  int32_t rulerTicInterval = 5;    // RULERTICINTEVAL (spelled without the second R)
  int32_t rulerCaptionInterval = 100;  // RULERCAPTIONINTERVAL
  std::optional<int32_t> paletteXPos;  // PALETTEXPOS
  std::optional<int32_t> paletteYPos;  // PALETTEYPOS
  int32_t paletteCellCX = 20;
  int32_t paletteCellCY = 14;
  int32_t paletteMarginCX = 4;
  int32_t paletteMarginCY = 3;
  std::string paletteFile;         // PALETTEFILE, default program folder + "/PAL.CD"
  int32_t filterUIXPos = 50, filterUIYPos = 50;
  int32_t loupeUIXPos = 50, loupeUIYPos = 50;
  int32_t plUIXPos = 50, plUIYPos = 50;
  std::optional<int32_t> objectPalUIXPos;  // OBJECTPALUIXPOS
  std::optional<int32_t> objectPalUIYPos;  // OBJECTPALUIyPOS (lower-case y, as stored)
  std::optional<int32_t> textUIXPos;       // TEXTUIXPOS
  std::optional<int32_t> textUIYPos;       // TEXTUIYPOS

  PackedSize NewImageSize() const { return UnpackSize(newImageSize); }

  // Reads every value; keys that are missing keep their defaults.
  static AppSettings Load(const Profile& profile);
  // Writes every value back (the options dialog's job).
  void Save(Profile& profile) const;
  // What the main window writes at shutdown: the placement, ISMAXIMIZED and BRUSHSIZE.
  void SaveShutdown(Profile& profile) const;
};

// The user's assignment of a tool button: value name "button%08x" in section ButtonSetting.
std::string ButtonSettingKey(uint32_t button);

}  // namespace varnel

#pragma once
// Everything that configures the brush tool: the brush kind, dab size, spacing, pressure
// response, opacity, colour mask, watercolour and clone colour (one BrushToolSettings for the
// whole program), and the parameter set of the custom brush (CustomBrushParams). They live
// between runs in the brush tool's tool state record; the custom parameters also in brush
// preset files (".bpp").

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/surface.h"
#include "document/tool_state.h"

namespace varnel {

// The value of the setting Style. A Style outside 0…22 builds no brush.
enum BrushKind : int32_t {
  kBrushCustom = 0,
  kBrushNormal = 1,
  kBrushBristle = 2,        // 筆風
  kBrushOilPaint = 3,       // 油彩風
  kBrushBlur = 4,
  kBrushFingerSmudge = 5,
  kBrushRainbow = 6,
  kBrushStir = 7,
  kBrushBlur2 = 8,
  kBrushBristle2 = 9,       // 筆風2
  kBrushDodgeAll = 10,
  kBrushBurnAll = 11,
  kBrushDodgeBright = 12,
  kBrushBurnBright = 13,
  kBrushDodgeMiddle = 14,
  kBrushBurnMiddle = 15,
  kBrushDodgeDark = 16,
  kBrushBurnDark = 17,
  kBrushOpacityAdd = 18,
  kBrushOpacitySubtract = 19,
  kBrushSharpen = 20,
  kBrushSaturationUp = 21,
  kBrushSaturationDown = 22,
};
inline constexpr int32_t kBrushKindCount = 23;
inline constexpr int32_t kBrushKindCommandBase = 34000;  // command id = base + kind
inline constexpr int32_t kBrushPresetCommandBase = 35000;
inline constexpr int32_t kMaxBrushSide = 256;

// The menu label of a kind (also the brush name shown on the tool panel); empty outside 0…22.
const char* BrushKindLabel(int32_t kind);
// The tooltip of a kind's command.
const char* BrushKindTooltip(int32_t kind);
// The status bar's prompt for a kind's command, where it has one of its own (else null).
const char* BrushKindPrompt(int32_t kind);

// Colour mask modes, as the "色マスク" combo box lists them.
inline constexpr int32_t kColourMaskModeCount = 11;
const char* ColourMaskModeLabel(int32_t mode);

struct CustomBrushParams {
  std::string shapeFile;     // SHAPE=, ShapeFile: a bitmap in Brush/Shape
  std::string textureFile;   // TEXTURE=, TexFile: a bitmap in Brush/Texture
  int32_t blendMode = 0;     // BLENDMODE=, BlendMode: 0…11
  int32_t colourMode = 0;    // COLORMODE=, ColorMode: 0…8
  int32_t density = 255;     // DENSITY=, Density
  int32_t gather = 64;       // GATHER=, Gather
  int32_t rotationMode = 0;  // ROTMODE=, RotationMode: 0 none, 1 random, 2 pen tilt
  uint8_t fadeOn = 0;        // FADEON=, FadeOn
  int32_t fadeValue = 10;    // FADEVAL=, FadeVal
  int32_t gradation = 0;     // GRADATION= (preset file only)
  int32_t backgroundColourEffect = 0;  // BKCOLOREFFECT=, bkColorEffect
  int32_t inkRefill = 5;               // INKSOURCE=, InkSrc
  int32_t backgroundColourAmount = 20; // BKCOLORSOURCE=, bkColorSrc
  int32_t colourVariation = 0;         // COLORVARIATION=, ColorVariation: 0 none, 1 RGB, 2 HLS
  int32_t colourVariationValue[3] = {0, 0, 0};  // COLORVARIATION_VALUE1…3=, CV1…3
  int32_t positionVariationOn = 0;     // HOTSPOT=, HotSpotMode
  int32_t positionVariation = 0;       // HOTSPOT_VALUE=, HotSpotValue
  int32_t bumpAngle = 45;              // BUMP ANGLE=, BumpAngle
  int32_t strokeCount = 1;             // STROKE COUNT=, StrokeCount: 1…8
  int32_t strokeColourJitterMode = 0;  // STROKE COLOR JITTER MODE=, BeginColorJitterMode
  int32_t strokeColourJitter[3] = {0, 0, 0};  // STROKE COLOR JITTER1…3=, BeginColorJitter1…3
  int32_t strokePositionJitter = 0;    // STROKE POS JITTER=, BeginPosJitter

  bool operator==(const CustomBrushParams&) const = default;
};

// The brush's own 12 compose modes ("合成モード") and the custom brush's colour modes.
const char* CustomBlendModeLabel(int32_t mode);
const char* CustomColourModeLabel(int32_t mode);

struct BrushToolSettings {
  int32_t colourMaskMode = 0;       // PixelFilterMode
  int32_t colourMaskMinimum = 50;   // PixelFilterMin, percent
  int32_t colourMaskMaximum = 100;  // PixelFilterMax, percent
  int32_t colourMaskTolerance = 30; // PixelFilterRange, percent
  std::string presetsFolder;        // the program folder + "/Brush/Presets" unless set
  std::string brushFolder;          // the program folder + "/Brush": Shape/ and Texture/
  int32_t kind = kBrushNormal;      // Style
  // The custom brush panel's parameters; absent until the panel exists.
  std::optional<CustomBrushParams> customPanel;
  int32_t width = 2;                // SizeCX, 1…256
  int32_t height = 2;               // SizeCY, 1…256
  bool busy = false;                // while set no brush can be built
  bool pressureSizing = false;      // PressureSizing
  bool pressureOpacity = false;     // PressureTransparency
  bool antiAlias = false;           // AntiAlias
  bool watercolour = false;         // WashOn
  bool affectAlpha = true;          // Alpha
  bool cloneColour = false;         // CloneBrushOn
  int32_t watercolourLevel = 128;   // WashLevel
  int32_t baseOpacity = 256;        // Opaque, 0…256
  int32_t minimumSize = 30;         // MinSize, percent
  int32_t spacing = 10;             // StrokeLength, percent of the mean dab size
  // The clone source image; present while clone colour is on and the source could be read.
  std::shared_ptr<ImageSurface> cloneSource;

  BrushToolSettings();

  // Each side clamped to 1…256.
  void SetSize(int32_t newWidth, int32_t newHeight);
  // The size as the BRUSHSIZE setting packs it (width high, height low) and back.
  int32_t PackedSize() const;
  void SetPackedSize(int32_t packed);

  // Clone colour on: reads ReadablePath("cloneSource.vlb") as the clone source; when it
  // cannot be read the message "クローンソースを設定してください" is shown (and false answered).
  // Off: the clone source is dropped.
  bool SetCloneColour(bool on);

  // The brush tool's entries of its tool state record, in their fixed order; the custom
  // parameters only while the panel exists.
  void WriteToolState(ToolStateWriter& writer) const;
  // Every key looked up: a missing integer or flag reads as 0, a missing text stays as it was.
  // The custom parameters (read over their defaults) reach the panel only when it exists.
  void ReadToolState(ToolStateReader& reader);
};

inline constexpr const char* kCloneSourceMissing = "クローンソースを設定してください";
inline constexpr const char* kCloneSourceFile = "cloneSource.vlb";
inline constexpr const char* kBrushToolClassName = "CBrushTool";

// The brush tool as a tool state object: its class name and its records.
class BrushToolState : public SettingsToolState<BrushToolSettings> {
 public:
  explicit BrushToolState(BrushToolSettings& settings) : SettingsToolState(settings, kBrushToolClassName) {}
};

}  // namespace varnel

#include "brush/brush_settings.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/canvas.h"
#include "document/document_file.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

constexpr std::array<const char*, kBrushKindCount> kKindLabels = {
    "現在のカスタムブラシ", "ノーマル描画", "筆風", "油彩風", "ぼかし", "指でこする", "虹色", "かき混ぜる",
    "ぼかし2", "筆風2", "覆い焼き(すべての色)", "焼き込み(すべての色)", "覆い焼き(明るい部分)",
    "焼き込み(明るい部分)", "覆い焼き(中間色)", "焼き込み(中間色)", "覆い焼き(暗い部分)", "焼き込み(暗い部分)",
    "不透明度加算", "不透明度減算", "シャープ", "彩度増加", "彩度減少"};

constexpr std::array<const char*, kColourMaskModeCount> kMaskModes = {
    "なし", "描画開始点", "開始点以外", "背景色", "開始輝度", "開始色相", "開始明度", "開始彩度", "輝度範囲",
    "明度範囲", "彩度範囲"};

constexpr std::array<const char*, 12> kCustomBlendModes = {"ノーマル合成", "乗算", "スクリーン", "加算",
                                                           "減算",        "明るい方", "暗い方", "オーバーレイ",
                                                           "カラー",      "色相", "彩度", "明度"};

constexpr std::array<const char*, 9> kCustomColourModes = {
    "テクスチャ　-　濃度", "テクスチャ　-　彩度", "テクスチャ　-　明度", "テクスチャ　-　色相", "テクスチャの色",
    "RGB範囲", "HSV範囲", "前景色・背景色混合", "バンプ"};

template <size_t N>
const char* Label(const std::array<const char*, N>& table, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[static_cast<size_t>(index)] : "";
}

int32_t ClampSide(int32_t side) { return std::clamp(side, 1, kMaxBrushSide); }

using Custom = CustomBrushParams;
using Settings = BrushToolSettings;

// The custom parameters' keys, in the order the tool state holds them.
const ToolStateKey<Custom> kCustomKeys[] = {
    {"bkColorEffect", &Custom::backgroundColourEffect},
    {"bkColorSrc", &Custom::backgroundColourAmount},
    {"BlendMode", &Custom::blendMode},
    {"BumpAngle", &Custom::bumpAngle},
    {"ColorMode", &Custom::colourMode},
    {"ColorVariation", &Custom::colourVariation},
    {"CV1", {&Custom::colourVariationValue, 0}},
    {"CV2", {&Custom::colourVariationValue, 1}},
    {"CV3", {&Custom::colourVariationValue, 2}},
    {"Density", &Custom::density},
    {"FadeOn", &Custom::fadeOn},
    {"FadeVal", &Custom::fadeValue},
    {"Gather", &Custom::gather},
    {"HotSpotMode", &Custom::positionVariationOn},
    {"HotSpotValue", &Custom::positionVariation},
    {"InkSrc", &Custom::inkRefill},
    {"StrokeCount", &Custom::strokeCount},
    {"RotationMode", &Custom::rotationMode},
    {"ShapeFile", &Custom::shapeFile},
    {"TexFile", &Custom::textureFile},
    {"BeginPosJitter", &Custom::strokePositionJitter},
    {"BeginColorJitter1", {&Custom::strokeColourJitter, 0}},
    {"BeginColorJitter2", {&Custom::strokeColourJitter, 1}},
    {"BeginColorJitter3", {&Custom::strokeColourJitter, 2}},
    {"BeginColorJitterMode", &Custom::strokeColourJitterMode},
};

// The brush tool's own keys, before the custom ones.
const ToolStateKey<Settings> kSettingsKeys[] = {
    {"AntiAlias", &Settings::antiAlias},
    {"Opaque", &Settings::baseOpacity},
    {"CloneBrushOn", &Settings::cloneColour},
    {"Alpha", &Settings::affectAlpha},
    {"MinSize", &Settings::minimumSize},
    {"PixelFilterMin", &Settings::colourMaskMinimum},
    {"PixelFilterMax", &Settings::colourMaskMaximum},
    {"PixelFilterMode", &Settings::colourMaskMode},
    {"PixelFilterRange", &Settings::colourMaskTolerance},
    {"PressureSizing", &Settings::pressureSizing},
    {"PressureTransparency", &Settings::pressureOpacity},
    {"SizeCX", &Settings::width},
    {"SizeCY", &Settings::height},
    {"StrokeLength", &Settings::spacing},
    {"Style", &Settings::kind},
    {"WashLevel", &Settings::watercolourLevel},
    {"WashOn", &Settings::watercolour},
};

}  // namespace

const char* BrushKindLabel(int32_t kind) { return Label(kKindLabels, kind); }

const char* BrushKindTooltip(int32_t kind) {
  switch (kind) {
    case kBrushCustom:
      return "カスタムブラシ";
    case kBrushNormal:
      return "高速描画";
    case kBrushBristle:
      return "筆風描画";
    default:
      return BrushKindLabel(kind);
  }
}

const char* BrushKindPrompt(int32_t kind) { return kind == kBrushCustom ? "カスタムブラシを選択します" : nullptr; }

const char* ColourMaskModeLabel(int32_t mode) { return Label(kMaskModes, mode); }
const char* CustomBlendModeLabel(int32_t mode) { return Label(kCustomBlendModes, mode); }
const char* CustomColourModeLabel(int32_t mode) { return Label(kCustomColourModes, mode); }

BrushToolSettings::BrushToolSettings()
    : presetsFolder(ProgramPath("Brush/Presets")), brushFolder(ProgramPath("Brush")) {}

void BrushToolSettings::SetSize(int32_t newWidth, int32_t newHeight) {
  width = ClampSide(newWidth);
  height = ClampSide(newHeight);
}

int32_t BrushToolSettings::PackedSize() const {
  return static_cast<int32_t>(static_cast<uint32_t>(width & 0xFFFF) << 16 | static_cast<uint32_t>(height & 0xFFFF));
}

void BrushToolSettings::SetPackedSize(int32_t packed) {
  const auto v = static_cast<uint32_t>(packed);
  SetSize(static_cast<int32_t>(v >> 16), static_cast<int32_t>(v & 0xFFFF));
}

bool BrushToolSettings::SetCloneColour(bool on) {
  cloneColour = on;
  cloneSource.reset();
  if (!on) return true;
  // The clone source is the picture of the saved layer as a canvas shows it.
  Canvas canvas;
  if (OpenPicture(ReadablePath(kCloneSourceFile), canvas) != 0) {
    GetHost().MessageBox(kCloneSourceMissing, "", kMbOk);
    return false;
  }
  auto image = std::make_shared<ImageSurface>();
  const Layer& composite = canvas.Composite();
  if (image->CreateUnfilled(composite.GetSize()) != 0) return false;
  image->CopyFrom(composite, {0, 0, composite.Width() - 1, composite.Height() - 1});
  image->DiscardBackups();
  cloneSource = std::move(image);
  return true;
}

void BrushToolSettings::WriteToolState(ToolStateWriter& w) const {
  WriteToolStateKeys<Settings>(w, kSettingsKeys, *this);
  if (customPanel) WriteToolStateKeys<Custom>(w, kCustomKeys, *customPanel);
}

void BrushToolSettings::ReadToolState(ToolStateReader& r) {
  ReadToolStateKeys<Settings>(r, kSettingsKeys, *this);
  SetSize(width, height);
  if (!customPanel) return;
  // A record written while there was no custom brush panel carries none of its keys: the
  // panel then keeps what it shows rather than taking zeros.
  bool anyCustomKey = false;
  for (const ToolStateEntry& entry : r.ListEntries())
    for (const ToolStateKey<Custom>& row : kCustomKeys) anyCustomKey = anyCustomKey || entry.key == row.key;
  if (!anyCustomKey) return;
  CustomBrushParams custom;
  ReadToolStateKeys<Custom>(r, kCustomKeys, custom);
  *customPanel = custom;
}

}  // namespace varnel

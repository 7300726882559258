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

// The custom parameters' keys, in the order the tool state holds them.
void WriteCustom(ToolStateWriter& w, const CustomBrushParams& p) {
  w.WriteInt("bkColorEffect", p.backgroundColourEffect);
  w.WriteInt("bkColorSrc", p.backgroundColourAmount);
  w.WriteInt("BlendMode", p.blendMode);
  w.WriteInt("BumpAngle", p.bumpAngle);
  w.WriteInt("ColorMode", p.colourMode);
  w.WriteInt("ColorVariation", p.colourVariation);
  w.WriteInt("CV1", p.colourVariationValue[0]);
  w.WriteInt("CV2", p.colourVariationValue[1]);
  w.WriteInt("CV3", p.colourVariationValue[2]);
  w.WriteInt("Density", p.density);
  w.WriteFlag("FadeOn", p.fadeOn);
  w.WriteInt("FadeVal", p.fadeValue);
  w.WriteInt("Gather", p.gather);
  w.WriteInt("HotSpotMode", p.positionVariationOn);
  w.WriteInt("HotSpotValue", p.positionVariation);
  w.WriteInt("InkSrc", p.inkRefill);
  w.WriteInt("StrokeCount", p.strokeCount);
  w.WriteInt("RotationMode", p.rotationMode);
  w.WriteText("ShapeFile", p.shapeFile);
  w.WriteText("TexFile", p.textureFile);
  w.WriteInt("BeginPosJitter", p.strokePositionJitter);
  w.WriteInt("BeginColorJitter1", p.strokeColourJitter[0]);
  w.WriteInt("BeginColorJitter2", p.strokeColourJitter[1]);
  w.WriteInt("BeginColorJitter3", p.strokeColourJitter[2]);
  w.WriteInt("BeginColorJitterMode", p.strokeColourJitterMode);
}

void ReadCustom(ToolStateReader& r, CustomBrushParams& p) {
  p.backgroundColourEffect = r.ReadInt("bkColorEffect");
  p.backgroundColourAmount = r.ReadInt("bkColorSrc");
  p.blendMode = r.ReadInt("BlendMode");
  p.bumpAngle = r.ReadInt("BumpAngle");
  p.colourMode = r.ReadInt("ColorMode");
  p.colourVariation = r.ReadInt("ColorVariation");
  p.colourVariationValue[0] = r.ReadInt("CV1");
  p.colourVariationValue[1] = r.ReadInt("CV2");
  p.colourVariationValue[2] = r.ReadInt("CV3");
  p.density = r.ReadInt("Density");
  p.fadeOn = r.ReadFlag("FadeOn") ? 1 : 0;
  p.fadeValue = r.ReadInt("FadeVal");
  p.gather = r.ReadInt("Gather");
  p.positionVariationOn = r.ReadInt("HotSpotMode");
  p.positionVariation = r.ReadInt("HotSpotValue");
  p.inkRefill = r.ReadInt("InkSrc");
  p.strokeCount = r.ReadInt("StrokeCount");
  p.rotationMode = r.ReadInt("RotationMode");
  r.ReadText("ShapeFile", p.shapeFile);
  r.ReadText("TexFile", p.textureFile);
  p.strokePositionJitter = r.ReadInt("BeginPosJitter");
  p.strokeColourJitter[0] = r.ReadInt("BeginColorJitter1");
  p.strokeColourJitter[1] = r.ReadInt("BeginColorJitter2");
  p.strokeColourJitter[2] = r.ReadInt("BeginColorJitter3");
  p.strokeColourJitterMode = r.ReadInt("BeginColorJitterMode");
}

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

const char* ColourMaskModeLabel(int32_t mode) { return Label(kMaskModes, mode); }
const char* CustomBlendModeLabel(int32_t mode) { return Label(kCustomBlendModes, mode); }
const char* CustomColourModeLabel(int32_t mode) { return Label(kCustomColourModes, mode); }

BrushToolSettings::BrushToolSettings() : presetsFolder(ProgramPath("Brush/Presets")) {}

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
  if (OpenPicture(ProgramPath(kCloneSourceFile), canvas) != 0) {
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
  w.WriteFlag("AntiAlias", antiAlias);
  w.WriteInt("Opaque", baseOpacity);
  w.WriteFlag("CloneBrushOn", cloneColour);
  w.WriteFlag("Alpha", affectAlpha);
  w.WriteInt("MinSize", minimumSize);
  w.WriteInt("PixelFilterMin", colourMaskMinimum);
  w.WriteInt("PixelFilterMax", colourMaskMaximum);
  w.WriteInt("PixelFilterMode", colourMaskMode);
  w.WriteInt("PixelFilterRange", colourMaskTolerance);
  w.WriteFlag("PressureSizing", pressureSizing);
  w.WriteFlag("PressureTransparency", pressureOpacity);
  w.WriteInt("SizeCX", width);
  w.WriteInt("SizeCY", height);
  w.WriteInt("StrokeLength", spacing);
  w.WriteInt("Style", kind);
  w.WriteInt("WashLevel", watercolourLevel);
  w.WriteFlag("WashOn", watercolour);
  if (customPanel) WriteCustom(w, *customPanel);
}

void BrushToolSettings::ReadToolState(ToolStateReader& r) {
  antiAlias = r.ReadFlag("AntiAlias");
  baseOpacity = r.ReadInt("Opaque");
  cloneColour = r.ReadFlag("CloneBrushOn");
  affectAlpha = r.ReadFlag("Alpha");
  minimumSize = r.ReadInt("MinSize");
  colourMaskMinimum = r.ReadInt("PixelFilterMin");
  colourMaskMaximum = r.ReadInt("PixelFilterMax");
  colourMaskMode = r.ReadInt("PixelFilterMode");
  colourMaskTolerance = r.ReadInt("PixelFilterRange");
  pressureSizing = r.ReadFlag("PressureSizing");
  pressureOpacity = r.ReadFlag("PressureTransparency");
  const int32_t cx = r.ReadInt("SizeCX");
  const int32_t cy = r.ReadInt("SizeCY");
  SetSize(cx, cy);
  spacing = r.ReadInt("StrokeLength");
  kind = r.ReadInt("Style");
  watercolourLevel = r.ReadInt("WashLevel");
  watercolour = r.ReadFlag("WashOn");
  CustomBrushParams custom;
  ReadCustom(r, custom);
  if (customPanel) *customPanel = custom;
}

int32_t BrushToolState::LoadState(ToolStateReader& reader, bool /*paste*/) {
  m_settings.ReadToolState(reader);
  return 0;
}

}  // namespace varnel

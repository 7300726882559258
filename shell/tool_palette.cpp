#include "shell/tool_palette.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <vector>

#include "brush/brush_engine.h"
#include "brush/brush_preset.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "platform/profile.h"
#include "qtcommon/wheel_guard.h"
#include "settings/app_settings.h"
#include "shell/panel_widgets.h"
#include "shell/tool_icons.h"
#include "tools/shape_tools.h"
#include "tools/text_tool.h"

namespace varnel {
namespace {

// The tools in palette order; a tool's slot is its row.
constexpr std::array<PaletteTool, 19> kPaletteTools = {{
    {0, "領域を選択"},
    {1, "ブラシで描画"},
    {2, "消しゴム"},
    {3, "選択された場所の色を取得"},
    {4, "直線を描画"},
    {5, "曲線を描画"},
    {6, "文字を描画"},
    {7, "四角形を描画"},
    {8, "塗りつぶし四角形を描画"},
    {9, "楕円を描画"},
    {10, "塗りつぶし楕円を描画"},
    {11, "多角形を描画"},
    {12, "塗りつぶし多角形を描画"},
    {13, "閉領域を塗りつぶす"},
    {14, "スタンプ"},
    {15, "選択されたレイヤを移動"},
    {16, "グラデーションを描画"},
    {17, "定規を描画"},
    {18, "座標を表示"},
}};
static_assert(kPaletteTools[1].slot == kBrushToolSlot, "the brush is the palette's second tool");
// The zoom tool follows the palette tools and takes the last slot.
static_assert(kPaletteTools.size() == kZoomToolSlot && kZoomToolSlot + 1 == Canvas::kToolSlots);

constexpr const char* kForegroundKey = "FGCOLOR";
constexpr const char* kBackgroundKey = "BGCOLOR";
constexpr const char* kBrushSizeKey = "BRUSHSIZE";

constexpr int kMaxSpacingPercent = 1000;

// The live panels, so a size step from a menu shows in every one of them.
std::vector<BrushOptionPanel*>& LivePanels() {
  static std::vector<BrushOptionPanel*> panels;
  return panels;
}

ColourRef ReadColour(const Profile& profile, const char* key, ColourRef fallback) {
  if (!profile.Has(kSettingsSection, key)) return fallback;
  return ColourRef{static_cast<uint32_t>(profile.GetInt(kSettingsSection, key, 0)) & 0x00FFFFFFu};
}

}  // namespace

std::span<const PaletteTool> PaletteTools() { return kPaletteTools; }

namespace {

// What the page of a tool without options here is headed with: the tool's name, or its palette
// tip for the tools that have no name of their own. The text tool's options are a window of
// their own.
QString NameOfToolWithoutOptions(int slot) {
  const std::pair<int32_t, const char*> named[] = {{kEllipseDrawToolSlot, kEllipseDrawToolName},
                                                   {kEllipseFillToolSlot, kEllipseFillToolName},
                                                   {kTextToolSlot, kTextToolName}};
  for (const auto& [namedSlot, name] : named)
    if (namedSlot == slot) return QString::fromUtf8(name);
  for (const PaletteTool& tool : kPaletteTools)
    if (tool.slot == slot) return QString::fromUtf8(tool.tooltip);
  return {};
}

}  // namespace

void StepBrushSize(int delta, Profile& profile) {
  BrushToolSettings& settings = ProgramBrushSettings();
  const int32_t oldWidth = settings.width;
  const int32_t oldHeight = settings.height;
  // Widen before adding so a huge step cannot overflow.
  auto step = [delta](int32_t side) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{side} + delta, 1, kMaxBrushSide));
  };
  settings.SetSize(step(oldWidth), step(oldHeight));
  if (settings.width != oldWidth || settings.height != oldHeight) RebuildProgramBrush();
  profile.WriteInt(kSettingsSection, kBrushSizeKey, settings.PackedSize());
  for (BrushOptionPanel* panel : LivePanels()) panel->Refresh();
}

void StepBrushSize(int delta) { StepBrushSize(delta, AppProfile()); }

// ---------------------------------------------------------------------------------------------

ClampingSpinBox::ClampingSpinBox(QWidget* parent) : QSpinBox(parent) {
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  // One change per finished entry, not one per keystroke: every change rebuilds the brush.
  setKeyboardTracking(false);
}

QValidator::State ClampingSpinBox::validate(QString& text, int& pos) const {
  const QValidator::State state = QSpinBox::validate(text, pos);
  if (state != QValidator::Invalid) return state;
  // A number out of range is kept as typed and clamped by fixup when the entry ends.
  bool ok = false;
  text.trimmed().toLongLong(&ok);
  return ok ? QValidator::Intermediate : QValidator::Invalid;
}

void ClampingSpinBox::fixup(QString& text) const {
  bool ok = false;
  const qlonglong typed = text.trimmed().toLongLong(&ok);
  if (!ok) {
    QSpinBox::fixup(text);
    return;
  }
  text = QString::number(std::clamp<qlonglong>(typed, minimum(), maximum()));
}

// ---------------------------------------------------------------------------------------------

namespace {
constexpr int kWellSquare = 26;
}

ColourWell::ColourWell(QWidget* parent) : QWidget(parent) {
  setObjectName("ColourWell");
  setFixedSize(sizeHint());
  setToolTip("前景色 / 背景色");
}

QSize ColourWell::sizeHint() const { return {56, 56}; }

QRect ColourWell::ForegroundRect() const { return {2, 2, kWellSquare, kWellSquare}; }
QRect ColourWell::BackgroundRect() const { return {16, 16, kWellSquare, kWellSquare}; }
QRect ColourWell::SwapRect() const { return {31, 1, 16, 14}; }
QRect ColourWell::ResetRect() const { return {2, 33, 11, 11}; }

void ColourWell::SetColours(ColourRef foreground, ColourRef background) {
  m_foreground = foreground;
  m_background = background;
  update();
}

void ColourWell::paintEvent(QPaintEvent*) {
  QPainter p(this);
  auto square = [&p](const QRect& rect, const QColor& fill) {
    p.fillRect(rect, fill);
    p.setPen(Qt::black);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
    p.setPen(Qt::white);
    p.drawRect(rect.adjusted(1, 1, -2, -2));
  };
  square(BackgroundRect(), QColorFromColourRef(m_background));
  square(ForegroundRect(), QColorFromColourRef(m_foreground));

  // The swap arrow: a bent line with a head at either end.
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(palette().color(QPalette::WindowText), 1.2));
  const QRect s = SwapRect().adjusted(2, 2, -2, -2);
  QPainterPath bend;
  bend.moveTo(s.left() + 3, s.top() + 2);
  bend.quadTo(s.right(), s.top() + 2, s.right() - 1, s.bottom() - 3);
  p.drawPath(bend);
  p.drawLine(QPointF(s.left() + 3, s.top() + 2), QPointF(s.left() + 6, s.top()));
  p.drawLine(QPointF(s.left() + 3, s.top() + 2), QPointF(s.left() + 6, s.top() + 4));
  p.drawLine(QPointF(s.right() - 1, s.bottom() - 3), QPointF(s.right() - 4, s.bottom() - 6));
  p.drawLine(QPointF(s.right() - 1, s.bottom() - 3), QPointF(s.right() + 2, s.bottom() - 6));
  p.setRenderHint(QPainter::Antialiasing, false);

  // The reset: a small black square over a white one.
  const QRect r = ResetRect();
  p.setPen(Qt::black);
  p.fillRect(QRect(r.left() + 4, r.top() + 4, 7, 7), Qt::white);
  p.drawRect(QRect(r.left() + 4, r.top() + 4, 6, 6));
  p.fillRect(QRect(r.left(), r.top(), 7, 7), Qt::black);
}

void ColourWell::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  // The foreground square lies on top of the background square.
  if (ForegroundRect().contains(at)) {
    emit foregroundClicked();
  } else if (BackgroundRect().contains(at)) {
    emit backgroundClicked();
  } else if (SwapRect().contains(at)) {
    emit swapClicked();
  } else if (ResetRect().contains(at)) {
    emit resetClicked();
  }
}

// ---------------------------------------------------------------------------------------------

ToolPalette::ToolPalette(Profile& profile, QWidget* parent)
    : QWidget(parent), m_profile(profile), m_group(new QButtonGroup(this)), m_well(new ColourWell(this)) {
  setObjectName("ToolPalette");
  m_group->setExclusive(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(6);
  auto* grid = new QGridLayout;
  grid->setSpacing(1);
  int index = 0;
  for (const PaletteTool& tool : kPaletteTools) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString("ToolButton%1").arg(tool.slot));
    button->setIcon(ToolIcon(tool.slot));
    // At its own size each icon's lines sit on whole pixels.
    button->setIconSize(QSize(24, 24));
    button->setToolTip(QString::fromUtf8(tool.tooltip));
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setFixedSize(28, 28);
    m_group->addButton(button, tool.slot);
    grid->addWidget(button, index / 2, index % 2);
    ++index;
  }
  layout->addLayout(grid);
  layout->addWidget(m_well, 0, Qt::AlignHCenter);
  layout->addStretch(1);
  connect(m_group, &QButtonGroup::idClicked, this, &ToolPalette::OnToolClicked);

  m_chooser = [](const QColor& initial, const QString& title, QWidget* owner) -> std::optional<QColor> {
    const QColor chosen = QColorDialog::getColor(initial, owner, title);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  connect(m_well, &ColourWell::foregroundClicked, this, [this] { ChooseColour(true); });
  connect(m_well, &ColourWell::backgroundClicked, this, [this] { ChooseColour(false); });
  connect(m_well, &ColourWell::swapClicked, this, &ToolPalette::SwapColours);
  connect(m_well, &ColourWell::resetClicked, this, &ToolPalette::ResetColours);

  m_foreground = ReadColour(m_profile, kForegroundKey, kDefaultForeground);
  m_background = ReadColour(m_profile, kBackgroundKey, kDefaultBackground);
  m_well->SetColours(m_foreground, m_background);
  SetProgramBrushColours(m_foreground, m_background);
  UpdateToolButtons();
}

QAbstractButton* ToolPalette::ToolButton(int32_t slot) const { return m_group->button(slot); }

void ToolPalette::SetCanvas(Canvas* canvas) {
  m_canvas = canvas;
  UpdateToolButtons();
  HandColoursOut();
}

void ToolPalette::UpdateToolButtons() {
  for (const PaletteTool& tool : kPaletteTools) {
    QAbstractButton* button = m_group->button(tool.slot);
    button->setEnabled(m_canvas != nullptr && m_canvas->Tool(tool.slot) != nullptr);
  }
  QAbstractButton* selected = m_canvas ? m_group->button(m_canvas->SelectedTool()) : nullptr;
  if (selected != nullptr && selected->isEnabled()) {
    selected->setChecked(true);
  } else if (QAbstractButton* checked = m_group->checkedButton()) {
    // An exclusive group keeps one button checked unless told otherwise.
    m_group->setExclusive(false);
    checked->setChecked(false);
    m_group->setExclusive(true);
  }
}

void ToolPalette::SelectTool(int32_t slot) {
  OnToolClicked(slot);
  UpdateToolButtons();
}

void ToolPalette::OnToolClicked(int slot) {
  if (m_canvas == nullptr || m_canvas->Tool(slot) == nullptr) return;
  m_canvas->SelectTool(slot);
  m_canvas->Tool(slot)->SetColours(m_foreground, m_background);
  emit toolSelected(slot);
}

void ToolPalette::SetForeground(ColourRef colour) { SetColours(colour, m_background); }
void ToolPalette::SetBackground(ColourRef colour) { SetColours(m_foreground, colour); }

void ToolPalette::SetColours(ColourRef foreground, ColourRef background) {
  foreground = ColourRef{ValueOf(foreground) & 0x00FFFFFFu};
  background = ColourRef{ValueOf(background) & 0x00FFFFFFu};
  if (foreground == m_foreground && background == m_background) return;
  if (foreground != m_foreground)
    m_profile.WriteInt(kSettingsSection, kForegroundKey, static_cast<int32_t>(ValueOf(foreground)));
  if (background != m_background)
    m_profile.WriteInt(kSettingsSection, kBackgroundKey, static_cast<int32_t>(ValueOf(background)));
  m_foreground = foreground;
  m_background = background;
  m_well->SetColours(m_foreground, m_background);
  HandColoursOut();
  emit coloursChanged();
}

void ToolPalette::SwapColours() { SetColours(m_background, m_foreground); }

void ToolPalette::ResetColours() { SetColours(kDefaultForeground, kDefaultBackground); }

void ToolPalette::ChooseColour(bool foreground) {
  if (!m_chooser) return;
  const ColourRef current = foreground ? m_foreground : m_background;
  const std::optional<QColor> chosen =
      m_chooser(QColorFromColourRef(current), foreground ? QString("前景色") : QString("背景色"), this);
  if (!chosen || !chosen->isValid()) return;
  const ColourRef colour = ColourRefFromQColor(*chosen);
  if (foreground) {
    SetForeground(colour);
  } else {
    SetBackground(colour);
  }
}

void ToolPalette::HandColoursOut() {
  SetProgramBrushColours(m_foreground, m_background);
  if (m_canvas == nullptr) return;
  // Every tool of the canvas paints with the palette's colours once it is chosen.
  for (int32_t slot = 0; slot < Canvas::kToolSlots; ++slot)
    if (PaintObject* tool = m_canvas->Tool(slot)) tool->SetColours(m_foreground, m_background);
}

// ---------------------------------------------------------------------------------------------

namespace {

}  // namespace

BrushOptionPanel::BrushOptionPanel(Profile& profile, QWidget* parent) : QWidget(parent), m_profile(profile) {
  setObjectName("BrushOptionPanel");
  Build();
  LivePanels().push_back(this);
  Refresh();
}

BrushOptionPanel::~BrushOptionPanel() {
  auto& panels = LivePanels();
  panels.erase(std::remove(panels.begin(), panels.end(), this), panels.end());
}

void BrushOptionPanel::Build() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);

  m_name = new QLabel(this);
  m_name->setObjectName("BrushName");
  QFont bold = m_name->font();
  bold.setBold(true);
  m_name->setFont(bold);
  layout->addWidget(m_name);

  auto* form = new QFormLayout;
  m_opacity = MakeSpin(this, "BaseOpacity", 0, 256);
  m_minimumSize = MakeSpin(this, "MinimumSize", 0, 100);
  m_spacing = MakeSpin(this, "Spacing", 0, kMaxSpacingPercent);
  form->addRow("基本不透明度", m_opacity);
  form->addRow("最小サイズ(%)", m_minimumSize);
  form->addRow("ブラシ間隔(%)", m_spacing);
  m_width = MakeSpin(this, "BrushWidth", 1, kMaxBrushSide);
  m_height = MakeSpin(this, "BrushHeight", 1, kMaxBrushSide);
  m_width->setToolTip("幅");
  m_height->setToolTip("高さ");
  m_sizeLock = MakeCheck(this, "SizeLock", "縦横同じ", "幅と高さを同じ値にします");
  m_sizeLock->setChecked(true);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(m_width);
  sizeRow->addWidget(new QLabel("×", this));
  sizeRow->addWidget(m_height);
  sizeRow->addWidget(m_sizeLock);
  form->addRow("サイズ", sizeRow);
  layout->addLayout(form);

  m_pressureSizing = MakeCheck(this, "PressureSizing", "筆圧サイズ", "筆圧によるブラシサイズの変化");
  m_pressureOpacity = MakeCheck(this, "PressureOpacity", "筆圧不透明", "筆圧による透明度変化");
  m_affectAlpha = MakeCheck(this, "AffectAlpha", "透明度に作用");
  m_antiAlias = MakeCheck(this, "AntiAlias", "アンチエイリアス");
  m_clone = MakeCheck(this, "CloneColour", "クローンカラー");
  for (QCheckBox* box : {m_pressureSizing, m_pressureOpacity, m_affectAlpha, m_antiAlias, m_clone})
    layout->addWidget(box);

  auto* mask = new QGroupBox("色マスク", this);
  mask->setObjectName("ColourMaskGroup");
  auto* maskForm = new QFormLayout(mask);
  m_maskMode = new QComboBox(mask);
  m_maskMode->setObjectName("ColourMaskMode");
  for (int32_t mode = 0; mode < kColourMaskModeCount; ++mode)
    m_maskMode->addItem(QString::fromUtf8(ColourMaskModeLabel(mode)));
  m_maskMinimum = MakeSpin(mask, "ColourMaskMinimum", 0, 100);
  m_maskMaximum = MakeSpin(mask, "ColourMaskMaximum", 0, 100);
  m_maskTolerance = MakeSpin(mask, "ColourMaskTolerance", 0, 100);
  maskForm->addRow(m_maskMode);
  maskForm->addRow("最小値(%)", m_maskMinimum);
  maskForm->addRow("最大値(%)", m_maskMaximum);
  maskForm->addRow("許容値(%)", m_maskTolerance);
  layout->addWidget(mask);

  auto* wash = new QGroupBox(this);
  wash->setObjectName("WatercolourGroup");
  auto* washLayout = new QVBoxLayout(wash);
  m_watercolour = MakeCheck(wash, "Watercolour", "水彩");
  m_watercolourLevel = MakeSpin(wash, "WatercolourLevel", 0, 256);
  m_watercolourLevel->setToolTip("水彩の濃さ (0-256)");
  m_dryAtEnd = new QRadioButton("描画終了で乾く", wash);
  m_dryAtEnd->setObjectName("DryAtStrokeEnd");
  m_dryOnCommand = new QRadioButton("コマンドで乾く", wash);
  m_dryOnCommand->setObjectName("DryOnCommand");
  m_dryAtEnd->setChecked(true);
  m_dry = new QPushButton("乾かす", wash);
  m_dry->setObjectName("Dry");
  auto* washTop = new QHBoxLayout;
  washTop->addWidget(m_watercolour);
  washTop->addWidget(m_watercolourLevel);
  washLayout->addLayout(washTop);
  washLayout->addWidget(m_dryAtEnd);
  washLayout->addWidget(m_dryOnCommand);
  washLayout->addWidget(m_dry);
  layout->addWidget(wash);
  layout->addStretch(1);

  // Each control writes its field and rebuilds only when the value really changed.
  auto bindInt = [this](QSpinBox* spin, int32_t BrushToolSettings::*field) {
    connect(spin, &QSpinBox::valueChanged, this, [this, field](int value) {
      if (m_refreshing) return;
      int32_t& target = ProgramBrushSettings().*field;
      if (target == value) return;
      target = value;
      Rebuild();
    });
  };
  bindInt(m_opacity, &BrushToolSettings::baseOpacity);
  bindInt(m_minimumSize, &BrushToolSettings::minimumSize);
  bindInt(m_spacing, &BrushToolSettings::spacing);
  bindInt(m_maskMinimum, &BrushToolSettings::colourMaskMinimum);
  bindInt(m_maskMaximum, &BrushToolSettings::colourMaskMaximum);
  bindInt(m_maskTolerance, &BrushToolSettings::colourMaskTolerance);
  bindInt(m_watercolourLevel, &BrushToolSettings::watercolourLevel);
  auto bindFlag = [this](QCheckBox* box, bool BrushToolSettings::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      if (m_refreshing) return;
      bool& target = ProgramBrushSettings().*field;
      if (target == on) return;
      target = on;
      UpdateEnabled();
      Rebuild();
    });
  };
  bindFlag(m_pressureSizing, &BrushToolSettings::pressureSizing);
  bindFlag(m_pressureOpacity, &BrushToolSettings::pressureOpacity);
  bindFlag(m_affectAlpha, &BrushToolSettings::affectAlpha);
  bindFlag(m_antiAlias, &BrushToolSettings::antiAlias);
  bindFlag(m_watercolour, &BrushToolSettings::watercolour);
  connect(m_maskMode, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (m_refreshing || index < 0) return;
    int32_t& target = ProgramBrushSettings().colourMaskMode;
    if (target == index) return;
    target = index;
    UpdateEnabled();
    Rebuild();
  });
  connect(m_width, &QSpinBox::valueChanged, this, [this](int value) {
    if (m_refreshing) return;
    SetSize(value, m_sizeLock->isChecked() ? value : ProgramBrushSettings().height);
  });
  connect(m_height, &QSpinBox::valueChanged, this, [this](int value) {
    if (m_refreshing) return;
    SetSize(m_sizeLock->isChecked() ? value : ProgramBrushSettings().width, value);
  });
  connect(m_sizeLock, &QCheckBox::toggled, this, [this](bool on) {
    if (m_refreshing) return;
    UpdateEnabled();
    // Locking makes the height follow the width at once.
    if (on) SetSize(ProgramBrushSettings().width, ProgramBrushSettings().width);
  });
  connect(m_clone, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) OnClone(on);
  });
  connect(m_dryOnCommand, &QRadioButton::toggled, this, [this](bool on) {
    if (m_refreshing) return;
    m_dryMode = on ? kDryOnCommand : kDryAtStrokeEnd;
    ApplyDryMode();
    UpdateEnabled();
  });
  connect(m_dry, &QPushButton::clicked, this, &BrushOptionPanel::OnDry);
}

void BrushOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const BrushToolSettings& s = ProgramBrushSettings();
  m_name->setText(BrushName());
  m_opacity->setValue(s.baseOpacity);
  m_minimumSize->setValue(s.minimumSize);
  m_spacing->setValue(s.spacing);
  m_width->setValue(s.width);
  m_height->setValue(s.height);
  // A size loaded with unequal sides is shown as it is, unlocked.
  if (s.width != s.height) m_sizeLock->setChecked(false);
  m_pressureSizing->setChecked(s.pressureSizing);
  m_pressureOpacity->setChecked(s.pressureOpacity);
  m_affectAlpha->setChecked(s.affectAlpha);
  m_antiAlias->setChecked(s.antiAlias);
  m_clone->setChecked(s.cloneColour);
  m_maskMode->setCurrentIndex(std::clamp(s.colourMaskMode, 0, kColourMaskModeCount - 1));
  m_maskMinimum->setValue(s.colourMaskMinimum);
  m_maskMaximum->setValue(s.colourMaskMaximum);
  m_maskTolerance->setValue(s.colourMaskTolerance);
  m_watercolour->setChecked(s.watercolour);
  m_watercolourLevel->setValue(s.watercolourLevel);
  m_dryAtEnd->setChecked(m_dryMode == kDryAtStrokeEnd);
  m_dryOnCommand->setChecked(m_dryMode == kDryOnCommand);
  // A brush rebuilt elsewhere starts with the dry mode at stroke end; the panel's choice holds.
  if (m_dryMode != kDryAtStrokeEnd) ApplyDryMode();
  UpdateEnabled();
}

QString BrushOptionPanel::BrushName() const {
  const int32_t kind = ProgramBrushSettings().kind;
  if (kind == kBrushCustom && !m_customName.isEmpty()) return m_customName;
  return QString::fromUtf8(BrushKindLabel(kind));
}

void BrushOptionPanel::SetBrushName(const QString& name) {
  // Only a custom brush carries a name of its own (its preset's title); the other kinds are
  // named by their kind, and keeping their label here would mislabel the next custom brush.
  if (ProgramBrushSettings().kind == kBrushCustom)
    m_customName = name.isEmpty() ? QString::fromUtf8(kCustomBrushName) : name;
  m_name->setText(BrushName());
}

void BrushOptionPanel::ForgetBrushName() {
  m_customName.clear();
  m_name->setText(BrushName());
}

void BrushOptionPanel::Rebuild() {
  RebuildProgramBrush();
  ApplyDryMode();
  emit brushRebuilt();
}

void BrushOptionPanel::ApplyDryMode() {
  if (BrushEngine* brush = ProgramBrush()) brush->SetDryMode(m_dryMode);
}

void BrushOptionPanel::UpdateEnabled() {
  const int32_t mode = ProgramBrushSettings().colourMaskMode;
  // Modes 1…7 compare against a reference within the tolerance; 8…10 test a range.
  m_maskTolerance->setEnabled(mode >= 1 && mode <= 7);
  m_maskMinimum->setEnabled(mode >= 8 && mode <= 10);
  m_maskMaximum->setEnabled(mode >= 8 && mode <= 10);
  m_height->setEnabled(!m_sizeLock->isChecked());
  m_watercolourLevel->setEnabled(ProgramBrushSettings().watercolour);
  m_dry->setEnabled(m_dryMode == kDryOnCommand);
}

void BrushOptionPanel::SetSize(int32_t width, int32_t height) {
  BrushToolSettings& s = ProgramBrushSettings();
  const int32_t oldWidth = s.width;
  const int32_t oldHeight = s.height;
  s.SetSize(width, height);
  {
    RefreshGuard guard(m_refreshing);
    m_width->setValue(s.width);
    m_height->setValue(s.height);
  }
  if (s.width == oldWidth && s.height == oldHeight) return;
  m_profile.WriteInt(kSettingsSection, kBrushSizeKey, s.PackedSize());
  Rebuild();
}

void BrushOptionPanel::OnClone(bool on) {
  BrushToolSettings& s = ProgramBrushSettings();
  const bool was = s.cloneColour;
  // Reading the source again is worth it even when the flag was already on but has no source.
  if (was == on && (!on || s.cloneSource)) return;
  if (!s.SetCloneColour(on)) {
    // Without a source the brush would paint the foreground colour while the box says clone:
    // the flag goes back off (the user has been told to set a source).
    s.SetCloneColour(false);
    RefreshGuard guard(m_refreshing);
    m_clone->setChecked(false);
  }
  if (s.cloneColour != was || s.cloneColour) Rebuild();
}

void BrushOptionPanel::OnDry() {
  if (m_canvas == nullptr || m_canvas->ActiveLayer() == nullptr) return;
  if (BrushEngine* brush = ProgramBrush()) brush->DryCommand(*m_canvas->ActiveLayer());
}

// ---------------------------------------------------------------------------------------------

ToolOptionWindow::ToolOptionWindow(Profile& profile, QWidget* parent)
    : QWidget(parent),
      m_stack(new QStackedWidget(this)),
      m_empty(new QWidget(this)),
      m_brush(new BrushOptionPanel(profile, this)) {
  setObjectName("ToolOptionWindow");
  m_empty->setObjectName("NoToolOptions");
  auto* emptyLayout = new QVBoxLayout(m_empty);
  emptyLayout->setContentsMargins(4, 4, 4, 4);
  m_emptyTitle = MakeTitle(m_empty, "");
  emptyLayout->addWidget(m_emptyTitle);
  emptyLayout->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_stack);
  m_stack->addWidget(m_empty);
  m_stack->addWidget(m_brush);
  GuardWheelOfControls(m_brush);
  ShowToolOptions(kBrushToolSlot);
}

void ToolOptionWindow::AddPanel(int slot, QWidget* panel, std::function<void()> refresh) {
  // Each panel as it comes: the window is scrolled over on the way to another panel.
  GuardWheelOfControls(panel);
  m_stack->addWidget(panel);
  m_panels[slot] = {panel, std::move(refresh)};
  if (slot == m_slot) ShowToolOptions(slot);
}

QWidget* ToolOptionWindow::Panel(int slot) const {
  if (slot == kBrushToolSlot) return m_brush;
  const auto found = m_panels.find(slot);
  return found == m_panels.end() ? nullptr : found->second.first;
}

void ToolOptionWindow::ShowToolOptions(int slot) {
  m_slot = slot;
  QWidget* panel = Panel(slot);
  if (panel == nullptr) m_emptyTitle->setText(NameOfToolWithoutOptions(slot));
  m_stack->setCurrentWidget(panel != nullptr ? panel : m_empty);
}

void ToolOptionWindow::SetCanvas(Canvas* canvas) {
  m_brush->SetCanvas(canvas);
  if (canvas != nullptr) ShowToolOptions(canvas->SelectedTool());
}

void ToolOptionWindow::Refresh() {
  m_brush->Refresh();
  for (auto& [slot, panel] : m_panels)
    if (panel.second) panel.second();
}

void ToolOptionWindow::SetBrushName(const QString& name) { m_brush->SetBrushName(name); }
void ToolOptionWindow::ForgetBrushName() { m_brush->ForgetBrushName(); }

}  // namespace varnel

#include "shell/gradient_option_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "shell/huebox_host.h"
#include "shell/panel_widgets.h"

namespace varnel {
namespace {

// The swatch beside each pattern's name.
constexpr int kSwatchWidth = 64;
constexpr int kSwatchHeight = 12;

GradientPattern PatternOf(const HueboxGradient& gradient) {
  GradientPattern stops;
  const int32_t count = std::clamp<int32_t>(gradient.stopCount, 0, kHueboxMaxStops);
  for (int32_t i = 0; i < count; ++i) {
    const HueboxGradientStop& stop = gradient.stops[i];
    stops.push_back({stop.position, uint32_t{stop.alpha} << 24 | uint32_t{stop.red} << 16 |
                                        uint32_t{stop.green} << 8 | stop.blue});
  }
  return stops;
}

// The pattern as the tool lays it, over the checkerboard of transparency: a pattern that fades
// out must not look like a solid one.
QIcon Swatch(const HueboxGradient& gradient) {
  const std::vector<uint32_t> table = GradientTable(PatternOf(gradient));
  QImage image(kSwatchWidth, kSwatchHeight, QImage::Format_RGB32);
  for (int y = 0; y < kSwatchHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < kSwatchWidth; ++x)
      row[x] = OverChecker(table[static_cast<size_t>(x) * kGradientSteps / (kSwatchWidth - 1)], x, y, 4);
  }
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace

std::optional<GradientPattern> HueboxGradientPattern(int32_t index) {
  const std::optional<HueboxGradient> gradient = HueboxHost::Instance().Gradient(index);
  if (!gradient) return std::nullopt;
  return PatternOf(*gradient);
}

GradientOptionPanel::GradientOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("GradientOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kGradientToolName));

  auto* shapeBox = new QGroupBox("グラデーション形状", this);
  auto* shapeLayout = new QVBoxLayout(shapeBox);
  auto* shape = new QButtonGroup(shapeBox);
  m_linear = new QRadioButton("線形", shapeBox);
  m_linear->setObjectName("GradientLinear");
  m_user = new QRadioButton("ユーザ定義", shapeBox);
  m_user->setObjectName("GradientUser");
  shape->addButton(m_linear, kGradientShapeLinear);
  shape->addButton(m_user, kGradientShapeUser);
  m_patterns = new QComboBox(shapeBox);
  m_patterns->setObjectName("GradientPatterns");
  m_patterns->setIconSize(QSize(kSwatchWidth, kSwatchHeight));
  auto* buttons = new QHBoxLayout;
  m_edit = new QPushButton("編集", shapeBox);
  m_edit->setObjectName("GradientEdit");
  m_add = new QPushButton("追加", shapeBox);
  m_add->setObjectName("GradientAdd");
  m_delete = new QPushButton("削除", shapeBox);
  m_delete->setObjectName("GradientDelete");
  for (QPushButton* button : {m_edit, m_add, m_delete}) buttons->addWidget(button);
  shapeLayout->addWidget(m_linear);
  shapeLayout->addWidget(m_user);
  shapeLayout->addWidget(m_patterns);
  shapeLayout->addLayout(buttons);
  layout->addWidget(shapeBox);

  auto* drawingBox = new QGroupBox(this);
  auto* drawingLayout = new QVBoxLayout(drawingBox);
  auto* drawing = new QButtonGroup(drawingBox);
  m_solid = new QRadioButton("ソリッド描画", drawingBox);
  m_solid->setObjectName("GradientSolid");
  m_brush = new QRadioButton("ブラシ描画", drawingBox);
  m_brush->setObjectName("GradientBrush");
  drawing->addButton(m_solid, kGradientDrawSolid);
  drawing->addButton(m_brush, kGradientDrawBrush);
  drawingLayout->addWidget(m_solid);
  drawingLayout->addWidget(m_brush);
  layout->addWidget(drawingBox);
  layout->addStretch(1);

  connect(shape, &QButtonGroup::idClicked, this, [this](int id) {
    ProgramGradientSettings().shape = id;
    if (id == kGradientShapeUser && !m_patternsLoaded) LoadPatterns();
    UpdateEnabled();
  });
  connect(drawing, &QButtonGroup::idClicked, this, [](int id) { ProgramGradientSettings().drawing = id; });
  connect(m_patterns, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!m_refreshing && index >= 0) ProgramGradientSettings().pattern = index;
  });
  connect(m_edit, &QPushButton::clicked, this, [this] { Edit(ProgramGradientSettings().pattern); });
  // The editor adds and deletes patterns itself: 追加 opens it at the last pattern, where a new
  // one goes, 削除 at the chosen one.
  connect(m_add, &QPushButton::clicked, this, [this] { Edit(std::max(0, m_patterns->count() - 1)); });
  connect(m_delete, &QPushButton::clicked, this, [this] { Edit(ProgramGradientSettings().pattern); });
  Refresh();
}

void GradientOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const GradientSettings& settings = ProgramGradientSettings();
  (settings.shape == kGradientShapeUser ? m_user : m_linear)->setChecked(true);
  (settings.drawing == kGradientDrawBrush ? m_brush : m_solid)->setChecked(true);
  if (m_patternsLoaded && settings.pattern < m_patterns->count()) m_patterns->setCurrentIndex(settings.pattern);
  UpdateEnabled();
}

void GradientOptionPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The file may have changed since (another program, or a peer).
  if (ProgramGradientSettings().shape == kGradientShapeUser) LoadPatterns();
}

void GradientOptionPanel::LoadPatterns() {
  RefreshGuard guard(m_refreshing);
  m_patternsLoaded = true;
  m_patterns->clear();
  HueboxHost& huebox = HueboxHost::Instance();
  const int count = huebox.GradientCount();
  for (int i = 0; i < count; ++i) {
    const std::optional<HueboxGradient> gradient = huebox.Gradient(i);
    if (!gradient) break;
    const auto length = static_cast<qsizetype>(strnlen(gradient->name, kHueboxNameSize));
    m_patterns->addItem(Swatch(*gradient), QString::fromUtf8(gradient->name, length));
  }
  const int chosen = ProgramGradientSettings().pattern;
  if (chosen < m_patterns->count()) m_patterns->setCurrentIndex(chosen);
  UpdateEnabled();
}

void GradientOptionPanel::Edit(int index) {
  if (const std::optional<int> chosen = HueboxHost::Instance().ShowGradationUI(this, index))
    ProgramGradientSettings().pattern = std::max(0, *chosen);
  LoadPatterns();
}

void GradientOptionPanel::UpdateEnabled() {
  const bool user = ProgramGradientSettings().shape == kGradientShapeUser;
  for (QWidget* control : std::initializer_list<QWidget*>{m_patterns, m_edit, m_add, m_delete})
    control->setEnabled(user);
}

}  // namespace varnel

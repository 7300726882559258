#include "shell/custom_brush_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <variant>

#include "core/surface.h"
#include "document/bitmap_file.h"
#include "platform/program_folder.h"
#include "qtcommon/qt_colour.h"
#include "shell/panel_widgets.h"
#include "shell/qt_draw_context.h"

namespace varnel {
namespace {

constexpr int kThumbnailSide = 32;
constexpr int kPanelWidth = 320;
// List items carry the file name (empty for "(なし)"); the entry standing for a missing file is
// marked so it can be dropped when the selection moves on or the list is scanned again.
constexpr int kFileRole = Qt::UserRole;
constexpr int kMissingRole = Qt::UserRole + 1;
// Combo items carry their value; an item added for a value outside the list is marked.
constexpr int kExtraRole = Qt::UserRole + 1;
// Set on a spin box while the user types into it.
constexpr const char* kTypedProperty = "typed";

constexpr std::array<int, 8> kBumpAngles = {0, 45, 90, 135, 180, 225, 270, 315};
constexpr std::array<const char*, 3> kVariationModes = {"なし", "RGB", "HLS"};
constexpr std::array<const char*, 3> kRotationModes = {"なし", "ランダム", "ペンデバイス傾き"};
constexpr std::array<const char*, 3> kRgbLabels = {"赤", "緑", "青"};
constexpr std::array<const char*, 3> kHlsLabels = {"色相", "彩度", "明度"};
constexpr int kVariationHls = 2;
constexpr int kColourModeRgbRange = 5;
constexpr int kColourModeHsvRange = 6;
constexpr int kColourModeBump = 8;

// Every field a control edits is a whole number.
int32_t& FieldOf(CustomBrushParams& params, const RecordField<CustomBrushParams>& field) {
  return *std::get<int32_t*>(field.Bind(params));
}

QComboBox* MakeCombo(QWidget* parent, const char* name) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  return combo;
}

// Selects the item of value; a value the list lacks gets an item of its own so it is not lost.
void ShowComboValue(QComboBox* combo, int value) {
  for (int i = combo->count() - 1; i >= 0; --i)
    if (combo->itemData(i, kExtraRole).toBool() && combo->itemData(i).toInt() != value) combo->removeItem(i);
  int index = combo->findData(value);
  if (index < 0) {
    combo->addItem(QString::number(value), value);
    index = combo->count() - 1;
    combo->setItemData(index, true, kExtraRole);
  }
  combo->setCurrentIndex(index);
}

// The bitmap scaled to fit 32 × 32 with its proportions kept, centred on white; a blank square
// when the file cannot be read.
QPixmap Thumbnail(const std::string& path) {
  QPixmap thumbnail(kThumbnailSide, kThumbnailSide);
  thumbnail.fill(Qt::white);
  ImageSurface surface;
  std::string message;
  if (ReadBitmapFile(path, surface, message) != 0) return thumbnail;
  const int width = surface.Width();
  const int height = surface.Height();
  const QImage image = ToQImage(surface);
  if (image.isNull()) return thumbnail;
  const double scale = std::min(double{kThumbnailSide} / width, double{kThumbnailSide} / height);
  const QSizeF fitted(width * scale, height * scale);
  QPainter painter(&thumbnail);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(
      QRectF(QPointF((kThumbnailSide - fitted.width()) / 2, (kThumbnailSide - fitted.height()) / 2), fitted), image);
  return thumbnail;
}

// Without a shape file the brush paints a round tip.
QPixmap RoundTip() {
  QPixmap tip(kThumbnailSide, kThumbnailSide);
  tip.fill(Qt::white);
  QPainter painter(&tip);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawEllipse(QRectF(4, 4, kThumbnailSide - 8, kThumbnailSide - 8));
  return tip;
}

QPixmap Blank() {
  QPixmap blank(kThumbnailSide, kThumbnailSide);
  blank.fill(Qt::white);
  return blank;
}

// The "*.bmp" files of folder (any case of the extension), with the user's data folder's beside a
// read-only program folder's, sorted by name, each name once.
std::vector<std::string> Bitmaps(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const std::string& searched : SearchFoldersFor(folder)) {
    for (const auto& entry : std::filesystem::directory_iterator(searched, ec)) {
      if (!entry.is_regular_file(ec)) continue;
      std::string extension = entry.path().extension().string();
      std::transform(extension.begin(), extension.end(), extension.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (extension == ".bmp") names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

QListWidget* MakeFileList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setViewMode(QListView::ListMode);
  list->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
  list->setUniformItemSizes(true);
  return list;
}

void FillFileList(QListWidget* list, const std::string& folder, const QPixmap& noneIcon) {
  list->clear();
  auto* none = new QListWidgetItem(QIcon(noneIcon), "(なし)", list);
  none->setData(kFileRole, QString());
  for (const std::string& file : Bitmaps(folder)) {
    auto* item =
        new QListWidgetItem(QIcon(Thumbnail(ReadablePathFor(folder + "/" + file))), QString::fromStdString(file), list);
    item->setData(kFileRole, QString::fromStdString(file));
  }
}

// Selects the entry of name; a name the folder lacks is listed, marked, so it is kept.
void ShowFileChoice(QListWidget* list, const std::string& name) {
  const QString wanted = QString::fromStdString(name);
  QListWidgetItem* found = nullptr;
  for (int i = list->count() - 1; i >= 0; --i) {
    QListWidgetItem* item = list->item(i);
    if (item->data(kFileRole).toString() != wanted) {
      if (item->data(kMissingRole).toBool()) delete list->takeItem(i);
    } else if (found == nullptr) {
      found = item;
    }
  }
  if (found == nullptr) {
    found = new QListWidgetItem(QIcon(Blank()), wanted + QString::fromUtf8(kMissingFileSuffix), list);
    found->setData(kFileRole, wanted);
    found->setData(kMissingRole, true);
  }
  list->setCurrentItem(found);
  list->scrollToItem(found);
}

QLabel* MakeSwatch(QWidget* parent, const char* name) {
  auto* swatch = new QLabel(parent);
  swatch->setObjectName(name);
  swatch->setFixedSize(40, 20);
  return swatch;
}

void PaintSwatch(QLabel* swatch, ColourRef colour) {
  swatch->setStyleSheet(
      QString("background-color: %1; border: 1px solid black;").arg(QColorFromColourRef(colour).name()));
}

// A slider with a spin box beside it, kept in step; the spin box carries the value.
QWidget* SliderRow(QWidget* parent, QSpinBox* spin, const char* sliderName) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* slider = new QSlider(Qt::Horizontal, row);
  slider->setObjectName(sliderName);
  slider->setRange(spin->minimum(), spin->maximum());
  QObject::connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
  QObject::connect(spin, &QSpinBox::valueChanged, slider, &QSlider::setValue);
  layout->addWidget(slider, 1);
  layout->addWidget(spin);
  return row;
}

// Three percent values (red, green, blue or hue, saturation, value) in a row.
QWidget* TripleRow(QWidget* parent, QLabel* (&labels)[3], QSpinBox* (&spins)[3], const char* const (&names)[3]) {
  auto* row = new QWidget(parent);
  auto* layout = new QGridLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 3; ++i) {
    labels[i] = new QLabel(QString::fromUtf8(kRgbLabels[static_cast<size_t>(i)]), row);
    spins[i] = MakeSpin(row, names[i], 0, 100);
    labels[i]->setBuddy(spins[i]);
    layout->addWidget(labels[i], 0, i * 2);
    layout->addWidget(spins[i], 0, i * 2 + 1);
  }
  return row;
}

void ShowChannelLabels(QLabel* const (&labels)[3], int mode) {
  const auto& texts = mode == kVariationHls ? kHlsLabels : kRgbLabels;
  for (size_t i = 0; i < 3; ++i) labels[i]->setText(QString::fromUtf8(texts[i]));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

PresetSaveDialog::PresetSaveDialog(const std::vector<std::string>& groups, const std::string& group,
                                   const std::string& name, QWidget* parent)
    : QDialog(parent), m_group(new QComboBox(this)), m_name(new QLineEdit(this)) {
  setObjectName("PresetSaveDialog");
  setWindowTitle(QString::fromUtf8(kPresetSaveDialogTitle));
  m_group->setObjectName("PresetGroup");
  m_group->setEditable(true);
  m_group->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& g : groups) m_group->addItem(QString::fromStdString(g));
  m_group->setEditText(QString::fromStdString(group));
  m_name->setObjectName("PresetName");
  m_name->setText(QString::fromStdString(name));
  m_name->selectAll();
  m_name->setFocus();

  auto* form = new QFormLayout;
  form->addRow("グループ名", m_group);
  form->addRow("ブラシ名", m_name);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(280);
}

std::string PresetSaveDialog::Group() const { return m_group->currentText().toStdString(); }

std::string PresetSaveDialog::Name() const { return m_name->text().toStdString(); }

// ---------------------------------------------------------------------------------------------

CustomBrushPanel::CustomBrushPanel(std::string brushFolder, QWidget* parent)
    : QDialog(parent, Qt::Tool), m_brushFolder(std::move(brushFolder)) {
  setObjectName("CustomBrushPanel");
  setWindowTitle(QString::fromUtf8(kCustomBrushPanelTitle));
  setModal(false);
  Build();
  ReloadLists();
  ShowParams();
  SetColours(kDefaultForeground, kDefaultBackground);
  resize(kPanelWidth, sizeHint().height());
}

void CustomBrushPanel::Build() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName("CustomBrushTabs");
  m_tabs->setUsesScrollButtons(true);
  m_tabs->addTab(BuildShapePage(), "形状");
  m_tabs->addTab(BuildTexturePage(), "テクスチャ");
  m_tabs->addTab(BuildColourRangePage(), "色範囲");
  m_tabs->addTab(BuildDensityPage(), "密度");
  m_tabs->addTab(BuildBackgroundPage(), "背景色");
  m_tabs->addTab(BuildBlendPage(), "描画手法");
  m_tabs->addTab(BuildVariationPage(), "色変化");
  m_tabs->addTab(BuildOtherPage(), "その他");
  m_tabs->addTab(BuildStrokePage(), "ストローク設定");
  layout->addWidget(m_tabs, 1);

  auto* save = new QPushButton("現在の設定を保存", this);
  save->setObjectName("SavePreset");
  save->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &CustomBrushPanel::OpenSaveDialog);
  layout->addWidget(save);

  // A choice in a list stands for its file name; moving off a missing entry drops it.
  auto bindList = [this](QListWidget* list, std::string CustomBrushParams::*field) {
    connect(list, &QListWidget::currentItemChanged, this, [this, list, field](QListWidgetItem* item) {
      if (m_refreshing || item == nullptr) return;
      m_params.*field = item->data(kFileRole).toString().toStdString();
      RefreshGuard guard(m_refreshing);
      ShowFileChoice(list, m_params.*field);
      Changed();
    });
  };
  bindList(m_shapes, &CustomBrushParams::shapeFile);
  bindList(m_textures, &CustomBrushParams::textureFile);
}

void CustomBrushPanel::Bind(QWidget* control, RecordField<CustomBrushParams> field) {
  m_bindings.push_back({control, field});
  if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    connect(spin, &QSpinBox::valueChanged, this, [this, spin, field](int value) {
      if (m_refreshing) return;
      spin->setProperty(kTypedProperty, false);
      FieldOf(m_params, field) = value;
      Changed();
    });
    // A value out of the box's range shows as its nearest end: typing that end again changes no
    // value but is still the user's choice, so a typed entry is taken when it is done. The box
    // reports no keystroke while its keyboard tracking is off; its editor does.
    if (auto* editor = spin->findChild<QLineEdit*>())
      connect(editor, &QLineEdit::textEdited, this, [spin] { spin->setProperty(kTypedProperty, true); });
    connect(spin, &QSpinBox::editingFinished, this, [this, spin, field] {
      if (m_refreshing || !spin->property(kTypedProperty).toBool()) return;
      spin->setProperty(kTypedProperty, false);
      int32_t& target = FieldOf(m_params, field);
      if (target == spin->value()) return;
      target = spin->value();
      Changed();
    });
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, field](int index) {
      if (m_refreshing || index < 0) return;
      FieldOf(m_params, field) = combo->itemData(index).toInt();
      Changed();
    });
  } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      if (m_refreshing) return;
      FieldOf(m_params, field) = on ? 1 : 0;
      Changed();
    });
  }
}

QWidget* CustomBrushPanel::BuildShapePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  m_shapes = MakeFileList(page, "ShapeList");
  layout->addWidget(m_shapes);
  return page;
}

QWidget* CustomBrushPanel::BuildTexturePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  m_textures = MakeFileList(page, "TextureList");
  layout->addWidget(m_textures, 1);
  m_colourMode = MakeCombo(page, "ColourMode");
  for (int mode = 0; mode < 9; ++mode) m_colourMode->addItem(QString::fromUtf8(CustomColourModeLabel(mode)), mode);
  m_bumpAngle = MakeCombo(page, "BumpAngle");
  for (int angle : kBumpAngles) m_bumpAngle->addItem(QString::number(angle), angle);
  auto* form = new QFormLayout;
  form->addRow("テクスチャ効果", m_colourMode);
  form->addRow("バンプ角", m_bumpAngle);
  layout->addLayout(form);
  Bind(m_colourMode, &CustomBrushParams::colourMode);
  Bind(m_bumpAngle, &CustomBrushParams::bumpAngle);
  return page;
}

QWidget* CustomBrushPanel::BuildColourRangePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  m_colourRange = new QWidget(page);
  m_colourRange->setObjectName("ColourRange");
  auto* inner = new QVBoxLayout(m_colourRange);
  inner->setContentsMargins(0, 0, 0, 0);
  // The note keeps its CR LF; a label breaks the line on LF alone.
  auto* note = new QLabel(QString::fromUtf8(kColourRangeNote).replace("\r\n", "\n"), m_colourRange);
  note->setObjectName("ColourRangeNote");
  inner->addWidget(note);
  m_foreground = MakeSwatch(m_colourRange, "RangeForeground");
  m_background = MakeSwatch(m_colourRange, "RangeBackground");
  auto* form = new QFormLayout;
  form->addRow("範囲の一端: 前景色", m_foreground);
  form->addRow("範囲の他端: 背景色", m_background);
  inner->addLayout(form);
  auto* explanation = new QLabel("RGB範囲・HSV範囲では、この二色の間の色がランダムに描かれます。", m_colourRange);
  explanation->setWordWrap(true);
  inner->addWidget(explanation);
  layout->addWidget(m_colourRange);
  layout->addStretch(1);
  return page;
}

QWidget* CustomBrushPanel::BuildDensityPage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  auto* density = MakeSpin(page, "Density", 0, 255);
  auto* gather = MakeSpin(page, "Gather", 0, 255);
  form->addRow("描画密度", SliderRow(page, density, "DensitySlider"));
  form->addRow("まとまり", SliderRow(page, gather, "GatherSlider"));
  Bind(density, &CustomBrushParams::density);
  Bind(gather, &CustomBrushParams::gather);
  return page;
}

QWidget* CustomBrushPanel::BuildBackgroundPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* effect = new QCheckBox("背景色の影響", page);
  effect->setObjectName("BackgroundColourEffect");
  m_inkRefill = MakeSpin(page, "InkRefill", 0, 255);
  m_backgroundAmount = MakeSpin(page, "BackgroundColourAmount", 0, 255);
  auto* form = new QFormLayout;
  form->addRow("インク補充(0-255)", m_inkRefill);
  form->addRow("背景色の影響(0-255)", m_backgroundAmount);
  layout->addWidget(effect);
  layout->addLayout(form);
  layout->addStretch(1);
  Bind(effect, &CustomBrushParams::backgroundColourEffect);
  Bind(m_inkRefill, &CustomBrushParams::inkRefill);
  Bind(m_backgroundAmount, &CustomBrushParams::backgroundColourAmount);
  return page;
}

QWidget* CustomBrushPanel::BuildBlendPage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  auto* blend = MakeCombo(page, "BlendMode");
  for (int mode = 0; mode < 12; ++mode) blend->addItem(QString::fromUtf8(CustomBlendModeLabel(mode)), mode);
  form->addRow("合成モード", blend);
  Bind(blend, &CustomBrushParams::blendMode);
  return page;
}

QWidget* CustomBrushPanel::BuildVariationPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  m_variationMode = MakeCombo(page, "ColourVariation");
  for (size_t mode = 0; mode < kVariationModes.size(); ++mode)
    m_variationMode->addItem(QString::fromUtf8(kVariationModes[mode]), static_cast<int>(mode));
  auto* form = new QFormLayout;
  form->addRow("モード", m_variationMode);
  layout->addLayout(form);
  static const char* const kNames[3] = {"ColourVariation1", "ColourVariation2", "ColourVariation3"};
  auto* values = new QGroupBox("変化量(%)", page);
  auto* valuesLayout = new QVBoxLayout(values);
  valuesLayout->addWidget(TripleRow(values, m_variationLabels, m_variation, kNames));
  layout->addWidget(values);
  auto* positionOn = new QCheckBox("描画位置変動", page);
  positionOn->setObjectName("PositionVariationOn");
  m_positionVariation = MakeSpin(page, "PositionVariation", 0, 100);
  auto* position = new QHBoxLayout;
  position->addWidget(positionOn);
  position->addWidget(m_positionVariation);
  position->addWidget(new QLabel("%", page));
  position->addStretch(1);
  layout->addLayout(position);
  layout->addStretch(1);
  Bind(m_variationMode, &CustomBrushParams::colourVariation);
  for (int i = 0; i < 3; ++i) Bind(m_variation[i], {&CustomBrushParams::colourVariationValue, i});
  Bind(positionOn, &CustomBrushParams::positionVariationOn);
  Bind(m_positionVariation, &CustomBrushParams::positionVariation);
  return page;
}

QWidget* CustomBrushPanel::BuildOtherPage() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  auto* rotation = MakeCombo(page, "RotationMode");
  for (size_t mode = 0; mode < kRotationModes.size(); ++mode)
    rotation->addItem(QString::fromUtf8(kRotationModes[mode]), static_cast<int>(mode));
  form->addRow("ブラシ形状回転", rotation);
  Bind(rotation, &CustomBrushParams::rotationMode);
  return page;
}

QWidget* CustomBrushPanel::BuildStrokePage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* count = MakeSpin(page, "StrokeCount", 1, 8);
  auto* top = new QFormLayout;
  top->addRow("ストローク数", count);
  layout->addLayout(top);
  auto* jitter = new QGroupBox("ストローク開始色ジッタ", page);
  auto* jitterLayout = new QVBoxLayout(jitter);
  m_jitterMode = MakeCombo(jitter, "StrokeColourJitterMode");
  for (size_t mode = 0; mode < kVariationModes.size(); ++mode)
    m_jitterMode->addItem(QString::fromUtf8(kVariationModes[mode]), static_cast<int>(mode));
  static const char* const kNames[3] = {"StrokeColourJitter1", "StrokeColourJitter2", "StrokeColourJitter3"};
  auto* jitterForm = new QFormLayout;
  jitterForm->addRow("モード", m_jitterMode);
  jitterLayout->addLayout(jitterForm);
  jitterLayout->addWidget(TripleRow(jitter, m_jitterLabels, m_jitter, kNames));
  layout->addWidget(jitter);
  auto* position = MakeSpin(page, "StrokePositionJitter", 0, 100);
  auto* bottom = new QFormLayout;
  bottom->addRow("ストローク位置ジッタ(%)", position);
  layout->addLayout(bottom);
  layout->addStretch(1);
  Bind(count, &CustomBrushParams::strokeCount);
  Bind(m_jitterMode, &CustomBrushParams::strokeColourJitterMode);
  for (int i = 0; i < 3; ++i) Bind(m_jitter[i], {&CustomBrushParams::strokeColourJitter, i});
  Bind(position, &CustomBrushParams::strokePositionJitter);
  return page;
}

void CustomBrushPanel::SetParams(const CustomBrushParams& p) {
  m_params = p;
  ShowParams();
}

void CustomBrushPanel::ShowParams() {
  RefreshGuard guard(m_refreshing);
  for (Binding& binding : m_bindings) {
    // A spin box shows the nearest value it can; the field keeps the value as it came.
    const int32_t value = FieldOf(m_params, binding.field);
    if (auto* spin = qobject_cast<QSpinBox*>(binding.control)) {
      spin->setValue(value);
      spin->setProperty(kTypedProperty, false);
    } else if (auto* combo = qobject_cast<QComboBox*>(binding.control)) {
      ShowComboValue(combo, value);
    } else if (auto* box = qobject_cast<QCheckBox*>(binding.control)) {
      box->setChecked(value != 0);
    }
  }
  ShowFileChoices();
  UpdateEnabled();
}

void CustomBrushPanel::ShowFileChoices() {
  RefreshGuard guard(m_refreshing);
  ShowFileChoice(m_shapes, m_params.shapeFile);
  ShowFileChoice(m_textures, m_params.textureFile);
}

void CustomBrushPanel::ReloadLists() {
  RefreshGuard guard(m_refreshing);
  FillFileList(m_shapes, m_brushFolder + "/Shape", RoundTip());
  FillFileList(m_textures, m_brushFolder + "/Texture", Blank());
  ShowFileChoices();
}

void CustomBrushPanel::SetColours(ColourRef foreground, ColourRef background) {
  PaintSwatch(m_foreground, foreground);
  PaintSwatch(m_background, background);
}

void CustomBrushPanel::UpdateEnabled() {
  const CustomBrushParams& p = m_params;
  m_bumpAngle->setEnabled(p.colourMode == kColourModeBump);
  m_colourRange->setEnabled(p.colourMode == kColourModeRgbRange || p.colourMode == kColourModeHsvRange);
  m_inkRefill->setEnabled(p.backgroundColourEffect != 0);
  m_backgroundAmount->setEnabled(p.backgroundColourEffect != 0);
  m_positionVariation->setEnabled(p.positionVariationOn != 0);
  // Mode 0 varies nothing; the three values are read as HLS only in mode 2.
  ShowChannelLabels(m_variationLabels, p.colourVariation);
  ShowChannelLabels(m_jitterLabels, p.strokeColourJitterMode);
  for (QSpinBox* spin : m_variation) spin->setEnabled(p.colourVariation != 0);
  for (QSpinBox* spin : m_jitter) spin->setEnabled(p.strokeColourJitterMode != 0);
}

void CustomBrushPanel::Changed() {
  UpdateEnabled();
  if (onChanged) onChanged(m_params);
}

std::unique_ptr<PresetSaveDialog> CustomBrushPanel::MakeSaveDialog() {
  std::vector<std::string> groups;
  for (const PresetMenu::Group& group : PresetMenu::Build(m_brushFolder + "/Presets").groups)
    groups.push_back(group.name);
  return std::make_unique<PresetSaveDialog>(groups, m_lastGroup, m_namer.Proposal(), this);
}

std::optional<std::string> CustomBrushPanel::SaveFromDialog(const PresetSaveDialog& dialog) {
  m_namer.Confirmed();
  const std::string presets = m_brushFolder + "/Presets";
  // The group folder is made by the save; the presets folder above it may be missing too.
  std::error_code ec;
  std::filesystem::create_directories(presets, ec);
  const std::optional<std::string> path = SavePreset(presets, dialog.Group(), dialog.Name(), m_params);
  if (!path) return std::nullopt;
  m_lastGroup = dialog.Group();
  if (onPresetSaved) onPresetSaved(*path);
  return path;
}

void CustomBrushPanel::OpenSaveDialog() {
  const std::unique_ptr<PresetSaveDialog> dialog = MakeSaveDialog();
  if (dialog->exec() == QDialog::Accepted) SaveFromDialog(*dialog);
}

}  // namespace varnel

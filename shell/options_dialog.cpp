#include "shell/options_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "brush/brush_settings.h"
#include "document/picture_loader.h"
#include "platform/profile.h"
#include "qtcommon/qt_colour.h"
#include "shell/child_frame.h"
#include "shell/command_table.h"
#include "shell/debug_console.h"
#include "shell/main_frame.h"
#include "shell/panel_widgets.h"
#include "shell/recovery_service.h"
#include "shell/varnel_app.h"
#include "shell/varnel_view.h"

namespace varnel {
namespace {

std::function<int(OptionsDialog&)>& Hook() {
  static std::function<int(OptionsDialog&)> hook;
  return hook;
}

// The slots are the tool palette's: the entries name the palette's drawing tools, and グラブ
// grabs the active layer as the layer-move tool does.
constexpr PenEraserEntry kPenEraserEntries[] = {
    {"消しゴム", 2},
    {"直線", 4},
    {"曲線", 5},
    {"図形描画(線)", 7},
    {"図形描画(塗りつぶし)", 8},
    {"楕円(線)", 9},
    {"楕円(塗りつぶし)", 10},
    {"多角形(線)", 11},
    {"多角形(塗りつぶし)", 12},
    {"閉領域塗りつぶし", 13},
    {"テキスト描画", 6},
    {"グラデーション", 16},
    {"グラブ", 15},
    {"スポイト", 3},
    {"定規", 17},
};
static_assert(std::size(kPenEraserEntries) == kPenEraserEntryCount);

// The menu 領域外表示's entries by mode number.
constexpr const char* kRegionViewModes[] = {"なし", "反転表示", "黒", "チェック", "白", "暗く", "明るく"};
constexpr int32_t kRegionViewModeCount = static_cast<int32_t>(std::size(kRegionViewModes));

// The integer keys the dialog writes, each with its field of the application's settings (none
// for the two the dialog keeps itself) and the number stored. SusieFolder, the one text,
// is written beside them.
struct StoredOption {
  const char* key;
  int32_t AppSettings::*setting;
  int32_t (*stored)(const OptionValues& values);
};

constexpr StoredOption kStoredOptions[] = {
    {"MUTEX", &AppSettings::mutex, [](const OptionValues& v) { return int32_t{v.singleInstance}; }},
    {"NEWIMAGESIZE", &AppSettings::newImageSize,
     [](const OptionValues& v) { return PackSize(v.newImageWidth, v.newImageHeight); }},
    {"BRUSHCURSORON", &AppSettings::brushCursorOn, [](const OptionValues& v) { return int32_t{v.brushCursor}; }},
    {"SHOWDRAGOBJECT", &AppSettings::showDragObject, [](const OptionValues& v) { return int32_t{v.showDragObject}; }},
    {"RULERON", &AppSettings::rulerOn, [](const OptionValues& v) { return int32_t{v.rulers}; }},
    {"REGIONVIEWMODE", &AppSettings::regionViewMode, [](const OptionValues& v) { return v.regionViewMode; }},
    {"MarginColor", &AppSettings::marginColor,
     [](const OptionValues& v) { return static_cast<int32_t>(ValueOf(v.marginColor)); }},
    {"DebugLevel", &AppSettings::debugLevel, [](const OptionValues& v) { return v.debugLevel; }},
    {"BACKUPSAVE", &AppSettings::backupSave, [](const OptionValues& v) { return int32_t{v.backupSave}; }},
    {"RULERTICINTEVAL", &AppSettings::rulerTicInterval, [](const OptionValues& v) { return v.rulerTicInterval; }},
    {"RULERCAPTIONINTERVAL", &AppSettings::rulerCaptionInterval,
     [](const OptionValues& v) { return v.rulerCaptionInterval; }},
    {kPenEraserKey, nullptr, [](const OptionValues& v) { return v.penEraser; }},
    {kBrushSizeStepKey, nullptr, [](const OptionValues& v) { return v.brushSizeStep; }},
    {kAutosaveMinutesKey, nullptr, [](const OptionValues& v) { return v.autosaveMinutes; }},
};

QLabel* MakeNote(const char* text, QWidget* parent) {
  auto* note = new QLabel(QString::fromUtf8(text), parent);
  note->setWordWrap(true);
  note->setEnabled(false);  // the greyed text of a remark
  return note;
}

}  // namespace

std::span<const PenEraserEntry> PenEraserEntries() { return kPenEraserEntries; }

int32_t PenEraserToolSlot(int32_t assignment) {
  if (assignment < 1 || assignment > kPenEraserEntryCount) assignment = kDefaultPenEraser;
  return kPenEraserEntries[assignment - 1].toolSlot;
}

int32_t PenEraserAssignment(const Profile& profile) {
  return std::clamp(profile.GetInt(kSettingsSection, kPenEraserKey, kDefaultPenEraser), 1, kPenEraserEntryCount);
}

int32_t BrushSizeStep(const Profile& profile) {
  return std::clamp(profile.GetInt(kSettingsSection, kBrushSizeStepKey, kDefaultBrushSizeStep), 1, kMaxBrushSide);
}

OptionValues ClampOptions(OptionValues values) {
  values.newImageWidth = std::clamp(values.newImageWidth, 1, kMaxNewImageSide);
  values.newImageHeight = std::clamp(values.newImageHeight, 1, kMaxNewImageSide);
  values.marginColor = ColourRef{ValueOf(values.marginColor) & 0xFFFFFFu};
  values.rulerTicInterval = std::clamp(values.rulerTicInterval, 1, kMaxRulerInterval);
  values.rulerCaptionInterval = std::clamp(values.rulerCaptionInterval, 1, kMaxRulerInterval);
  values.regionViewMode = std::clamp(values.regionViewMode, 0, kRegionViewModeCount - 1);
  values.debugLevel = std::clamp(values.debugLevel, kMinDebugLevel, kMaxDebugLevel);
  values.penEraser = std::clamp(values.penEraser, 1, kPenEraserEntryCount);
  values.brushSizeStep = std::clamp(values.brushSizeStep, 1, kMaxBrushSide);
  values.autosaveMinutes = std::clamp(values.autosaveMinutes, 0, kMaxAutosaveMinutes);
  return values;
}

OptionValues ReadOptions(const AppSettings& settings, const Profile& profile) {
  OptionValues v;
  v.singleInstance = settings.mutex != 0;
  v.backupSave = settings.backupSave != 0;
  PackedSize size = settings.NewImageSize();
  if (size.width < 1 || size.height < 1) size = UnpackSize(kDefaultNewImageSize);
  v.newImageWidth = size.width;
  v.newImageHeight = size.height;
  v.marginColor = ColourRef{static_cast<uint32_t>(settings.marginColor)};
  v.brushCursor = settings.brushCursorOn != 0;
  v.showDragObject = settings.showDragObject != 0;
  v.rulers = settings.rulerOn != 0;
  v.rulerTicInterval = settings.rulerTicInterval;
  v.rulerCaptionInterval = settings.rulerCaptionInterval;
  v.regionViewMode = settings.regionViewMode;
  v.susieFolder = settings.susieFolder;
  v.debugLevel = settings.debugLevel;
  v.penEraser = profile.GetInt(kSettingsSection, kPenEraserKey, kDefaultPenEraser);
  v.brushSizeStep = profile.GetInt(kSettingsSection, kBrushSizeStepKey, kDefaultBrushSizeStep);
  v.autosaveMinutes = profile.GetInt(kSettingsSection, kAutosaveMinutesKey, kDefaultAutosaveMinutes);
  return ClampOptions(v);
}

void ApplyOptions(const OptionValues& values, AppSettings& settings, Profile& profile) {
  const OptionValues v = ClampOptions(values);
  for (const StoredOption& row : kStoredOptions) {
    const int32_t stored = row.stored(v);
    if (row.setting != nullptr) settings.*row.setting = stored;
    profile.WriteInt(kSettingsSection, row.key, stored);
  }
  settings.susieFolder = v.susieFolder;
  profile.WriteString(kSettingsSection, "SusieFolder", v.susieFolder);
}

void ApplyOptionsToProgram(CVarnelApp& app, const OptionValues& values) {
  const std::string oldFolder = app.Settings().susieFolder;
  ApplyOptions(values, app.Settings(), app.GetProfile());
  const AppSettings& settings = app.Settings();
  // The loader reads SusieFolder at every look-up; the plug-ins kept from the old folder are
  // let go so that they no longer answer first.
  if (settings.susieFolder != oldFolder) ReleasePictureLoaders();
  app.Console().SetLevel(settings.debugLevel);
  if (CMainFrame* frame = app.MainFrame()) {
    frame->SyncMessageLevel(settings.debugLevel);
    frame->UpdateCommandStates();  // the check marks of ルーラー and 領域外表示
    // The rulers take RULERON and their intervals, the views the margin colour, when told; the brush
    // cursor and the area outside the selection are read at every paint.
    for (CChildFrame* child : frame->ChildFrames())
      if (CVarnelView* view = child->GetActiveView()) {
          view->SyncRulers();
          view->SetMarginColor(QColorFromColourRef(ColourRef{static_cast<uint32_t>(settings.marginColor)}));
        }
  }
  app.RedrawAllViews();
}

void RunOptionsDialog(CommandContext& context, int) {
  CVarnelApp& app = context.app;
  OptionValues initial = ReadOptions(app.Settings(), app.GetProfile());
  // The level in effect, which the menu メッセージレベル may have changed since the start;
  // level 0 (nothing shown yet) shows as the lowest.
  initial.debugLevel = std::clamp(app.Console().Level(), kMinDebugLevel, kMaxDebugLevel);
  OptionsDialog dialog(initial, &context.frame);
  const int result = Hook() ? Hook()(dialog) : dialog.exec();
  if (result != QDialog::Accepted) return;
  ApplyOptionsToProgram(app, dialog.Values());
}

void SetOptionsDialogHookForTesting(std::function<int(OptionsDialog&)> hook) { Hook() = std::move(hook); }

// ---------------------------------------------------------------------------------------------

OptionsDialog::OptionsDialog(const OptionValues& initial, QWidget* parent)
    : QDialog(parent), m_initial(ClampOptions(initial)), m_marginColor(m_initial.marginColor) {
  setObjectName("OptionsDialog");
  setWindowTitle("オプション");
  m_chooser = [](ColourRef current, QWidget* owner) -> std::optional<ColourRef> {
    const QColor chosen = QColorDialog::getColor(QColorFromColourRef(current), owner, "キャンバス周囲の色");
    if (!chosen.isValid()) return std::nullopt;
    return ColourRefFromQColor(chosen);
  };

  auto* tabs = new QTabWidget(this);
  tabs->setObjectName("OptionPages");
  tabs->addTab(BuildGeneralPage(), "全般");
  tabs->addTab(BuildViewPage(), "表示");
  tabs->addTab(BuildBrushPage(), "ブラシ");
  tabs->addTab(BuildPenPage(), "ペン");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("Buttons");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addWidget(buttons);
}

QWidget* OptionsDialog::BuildGeneralPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);

  m_singleInstance = MakeCheck(page, "SingleInstance", "多重起動を禁止する",
                               "すでに起動しているときは、開くファイルをそちらに渡します");
  m_singleInstance->setChecked(m_initial.singleInstance);
  layout->addWidget(m_singleInstance);
  layout->addWidget(MakeNote("この設定は次回の起動から有効になります", page));

  m_backupSave = MakeCheck(page, "BackupSave", "上書き保存時にバックアップを作成する");
  m_backupSave->setChecked(m_initial.backupSave);
  layout->addWidget(m_backupSave);

  auto* form = new QFormLayout;
  m_newImageWidth = MakeSpin(page, "NewImageWidth", 1, kMaxNewImageSide);
  m_newImageWidth->setValue(m_initial.newImageWidth);
  m_newImageHeight = MakeSpin(page, "NewImageHeight", 1, kMaxNewImageSide);
  m_newImageHeight->setValue(m_initial.newImageHeight);
  auto* size = new QHBoxLayout;
  size->addWidget(new QLabel("幅", page));
  size->addWidget(m_newImageWidth);
  size->addWidget(new QLabel("高さ", page));
  size->addWidget(m_newImageHeight);
  size->addStretch();
  form->addRow("新規画像のサイズ:", size);

  m_susieFolder = new QLineEdit(QString::fromStdString(m_initial.susieFolder), page);
  m_susieFolder->setObjectName("SusieFolder");
  auto* browse = new QPushButton("参照...", page);
  browse->setObjectName("SusieFolderBrowse");
  connect(browse, &QPushButton::clicked, this, &OptionsDialog::ChooseSusieFolder);
  auto* folder = new QHBoxLayout;
  folder->addWidget(m_susieFolder, 1);
  folder->addWidget(browse);
  form->addRow("Susieプラグインのフォルダ:", folder);

  m_debugLevel = MakeSpin(page, "DebugLevel", kMinDebugLevel, kMaxDebugLevel);
  m_debugLevel->setValue(m_initial.debugLevel);
  m_debugLevel->setToolTip("デバッグコンソールに表示するメッセージのレベル");
  form->addRow("メッセージレベル:", m_debugLevel);

  m_autosaveMinutes = MakeSpin(page, "AutosaveMinutes", 0, kMaxAutosaveMinutes);
  m_autosaveMinutes->setValue(m_initial.autosaveMinutes);
  m_autosaveMinutes->setToolTip("0 で復旧用の自動保存をしません。次回の起動から有効になります");
  form->addRow("復旧用の自動保存(分):", m_autosaveMinutes);

  layout->addLayout(form);
  layout->addStretch();
  return page;
}

QWidget* OptionsDialog::BuildViewPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;

  m_marginButton = new QPushButton("変更...", page);
  m_marginButton->setObjectName("MarginColor");
  connect(m_marginButton, &QPushButton::clicked, this, &OptionsDialog::ChooseMarginColour);
  ShowMarginColour();
  form->addRow("キャンバス周囲の色:", m_marginButton);

  m_regionViewMode = new QComboBox(page);
  m_regionViewMode->setObjectName("RegionViewMode");
  for (const char* mode : kRegionViewModes) m_regionViewMode->addItem(QString::fromUtf8(mode));
  m_regionViewMode->setCurrentIndex(m_initial.regionViewMode);
  form->addRow("領域外表示:", m_regionViewMode);
  layout->addLayout(form);

  m_brushCursor = MakeCheck(page, "BrushCursor", "ブラシの形をカーソルで表示する");
  m_brushCursor->setChecked(m_initial.brushCursor);
  layout->addWidget(m_brushCursor);
  m_showDragObject = MakeCheck(page, "ShowDragObject", "ドラッグ中のオブジェクトを表示する");
  m_showDragObject->setChecked(m_initial.showDragObject);
  layout->addWidget(m_showDragObject);

  m_rulers = MakeCheck(page, "Rulers", "ルーラーを表示する");
  m_rulers->setChecked(m_initial.rulers);
  layout->addWidget(m_rulers);
  auto* rulerForm = new QFormLayout;
  m_rulerTicInterval = MakeSpin(page, "RulerTicInterval", 1, kMaxRulerInterval);
  m_rulerTicInterval->setValue(m_initial.rulerTicInterval);
  rulerForm->addRow("目盛りの間隔(ピクセル):", m_rulerTicInterval);
  m_rulerCaptionInterval = MakeSpin(page, "RulerCaptionInterval", 1, kMaxRulerInterval);
  m_rulerCaptionInterval->setValue(m_initial.rulerCaptionInterval);
  rulerForm->addRow("数値の間隔(ピクセル):", m_rulerCaptionInterval);
  layout->addLayout(rulerForm);

  layout->addStretch();
  return page;
}

QWidget* OptionsDialog::BuildBrushPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  m_brushSizeStep = MakeSpin(page, "BrushSizeStep", 1, kMaxBrushSide);
  m_brushSizeStep->setValue(m_initial.brushSizeStep);
  form->addRow("ブラシサイズの増減幅(ピクセル):", m_brushSizeStep);
  layout->addLayout(form);
  layout->addWidget(MakeNote("「ブラシサイズ+4」「ブラシサイズ-4」(キー ] と [) で幅と高さを変える量です", page));
  layout->addStretch();
  return page;
}

QWidget* OptionsDialog::BuildPenPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  auto* form = new QFormLayout;
  m_penEraser = new QComboBox(page);
  m_penEraser->setObjectName("PenEraser");
  for (const PenEraserEntry& entry : kPenEraserEntries) m_penEraser->addItem(QString::fromUtf8(entry.label));
  m_penEraser->setCurrentIndex(m_initial.penEraser - 1);
  form->addRow("Penデバイス消しゴムの割り当て", m_penEraser);
  layout->addLayout(form);
  layout->addWidget(MakeNote("ペンの消しゴム側で描くときに使うツールです", page));
  layout->addStretch();
  return page;
}

void OptionsDialog::ShowMarginColour() {
  QPixmap swatch(24, 14);
  swatch.fill(QColorFromColourRef(m_marginColor));
  m_marginButton->setIcon(swatch);
  m_marginButton->setIconSize(swatch.size());
}

void OptionsDialog::ChooseMarginColour() {
  if (!m_chooser) return;
  const std::optional<ColourRef> chosen = m_chooser(m_marginColor, this);
  if (!chosen) return;
  m_marginColor = ColourRef{ValueOf(*chosen) & 0xFFFFFFu};
  ShowMarginColour();
}

void OptionsDialog::ChooseSusieFolder() {
  const QString folder = QFileDialog::getExistingDirectory(this, "Susieプラグインのフォルダ", m_susieFolder->text());
  if (!folder.isEmpty()) m_susieFolder->setText(folder);
}

OptionValues OptionsDialog::Values() const {
  // A spin box takes what is typed when its entry ends; OK may come before that.
  for (QSpinBox* spin : {m_newImageWidth, m_newImageHeight, m_debugLevel, m_rulerTicInterval, m_rulerCaptionInterval,
                         m_brushSizeStep})
    spin->interpretText();
  OptionValues v;
  v.singleInstance = m_singleInstance->isChecked();
  v.backupSave = m_backupSave->isChecked();
  v.newImageWidth = m_newImageWidth->value();
  v.newImageHeight = m_newImageHeight->value();
  v.marginColor = m_marginColor;
  v.brushCursor = m_brushCursor->isChecked();
  v.showDragObject = m_showDragObject->isChecked();
  v.rulers = m_rulers->isChecked();
  v.rulerTicInterval = m_rulerTicInterval->value();
  v.rulerCaptionInterval = m_rulerCaptionInterval->value();
  v.regionViewMode = m_regionViewMode->currentIndex();
  v.susieFolder = m_susieFolder->text().trimmed().toStdString();
  v.debugLevel = m_debugLevel->value();
  v.penEraser = m_penEraser->currentIndex() + 1;
  v.brushSizeStep = m_brushSizeStep->value();
  v.autosaveMinutes = m_autosaveMinutes->value();
  return ClampOptions(v);
}

}  // namespace varnel

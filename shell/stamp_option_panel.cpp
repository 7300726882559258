#include "shell/stamp_option_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "core/blend.h"
#include "core/canvas.h"
#include "platform/host.h"
#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "shell/panel_widgets.h"
#include "tools/stamp_tool.h"

namespace varnel {
namespace {

// The preview of the stamp fits this square.
constexpr int kPreviewSide = 96;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

StampOptionPanel::StampOptionPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("StampOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kStampToolName));

  auto* form = new QFormLayout;
  m_mode = new QComboBox(this);
  m_mode->setObjectName("StampMode");
  for (const BlendModeEntry& entry : kBlendModes)
    m_mode->addItem(QString::fromUtf8(entry.name.data(), static_cast<qsizetype>(entry.name.size())));
  form->addRow("モード", m_mode);
  m_scale = MakeSpin(this, "StampScale", kStampScaleMinimum, kStampScaleMaximum);
  m_scale->setSuffix(" %");
  form->addRow("大きさ", m_scale);
  m_opacity = MakeSpin(this, "StampOpacity", 0, 100);
  m_opacity->setSuffix(" %");
  form->addRow("透明度", m_opacity);
  layout->addLayout(form);
  m_copy = MakeCheck(this, "StampCopy", "コピー");
  m_fixedPosition = MakeCheck(this, "StampFixPosition", "位置固定");
  layout->addWidget(m_copy);
  layout->addWidget(m_fixedPosition);

  m_take = MakeButton(this, "StampTake", "取得");
  // Checked while the next drag takes the stamp.
  m_take->setCheckable(true);
  m_fromFile = MakeButton(this, "StampFromFile", "ファイルから取得");
  m_fromSelection = MakeButton(this, "StampFromSelection", "領域から取得");
  for (QPushButton* button : {m_take, m_fromFile, m_fromSelection}) layout->addWidget(button);
  m_preview = new QLabel(this);
  m_preview->setObjectName("StampPreview");
  m_preview->setAlignment(Qt::AlignCenter);
  m_preview->setMinimumSize(kPreviewSide, kPreviewSide);
  layout->addWidget(m_preview);
  layout->addStretch(1);

  connect(m_mode, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!m_refreshing && index >= 0) ProgramStampSettings().mode = index;
  });
  connect(m_scale, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramStampSettings().scale = value;
  });
  connect(m_opacity, &QSpinBox::valueChanged, this, [this](int value) {
    if (!m_refreshing) ProgramStampSettings().opacity = value;
  });
  connect(m_copy, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramStampSettings().copy = on;
  });
  connect(m_fixedPosition, &QCheckBox::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramStampSettings().fixedPosition = on;
  });
  connect(m_take, &QPushButton::toggled, this, [this](bool on) {
    if (!m_refreshing) ProgramStampStore().taking = on;
  });
  connect(m_fromFile, &QPushButton::clicked, this, &StampOptionPanel::TakeFromFile);
  connect(m_fromSelection, &QPushButton::clicked, this, &StampOptionPanel::TakeFromSelection);
  ProgramStampStore().onTaken = [this] { Refresh(); };
  Refresh();
}

StampOptionPanel::~StampOptionPanel() { ProgramStampStore().onTaken = nullptr; }

void StampOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const StampSettings& settings = ProgramStampSettings();
  m_mode->setCurrentIndex(std::clamp(settings.mode, 0, kBlendModeCount - 1));
  m_scale->setValue(std::clamp(settings.scale, kStampScaleMinimum, kStampScaleMaximum));
  m_opacity->setValue(std::clamp(settings.opacity, 0, 100));
  m_copy->setChecked(settings.copy);
  m_fixedPosition->setChecked(settings.fixedPosition);
  m_take->setChecked(ProgramStampStore().taking);
  ShowStamp();
}

void StampOptionPanel::TakeFromFile() {
  const auto path = AskFileName(this, OpenRequest("*.vlb;", true));
  if (!path) return;
  WaitCursor wait;
  std::string reason;
  if (TakeStampFromFile(path->toStdString(), ProgramStampStore().stamp, &reason) != 0) {
    if (!reason.empty()) GetHost().MessageBox(reason, "", kMbOk);
    GetHost().MessageBox(kMsgCannotReadPicture, "", kMbOk);
    return;
  }
  ProgramStampStore().taking = false;
  Refresh();
}

void StampOptionPanel::TakeFromSelection() {
  Canvas* canvas = Canvas::GetActiveCanvas();
  if (canvas == nullptr || !TakeStampFromCanvasSelection(*canvas, ProgramStampStore().stamp)) return;
  ProgramStampStore().taking = false;
  Refresh();
}

void StampOptionPanel::ShowStamp() {
  const Stamp& stamp = ProgramStampStore().stamp;
  if (stamp.IsEmpty() || stamp.pixels.size() != static_cast<size_t>(stamp.size.width) * stamp.size.height) {
    m_preview->clear();
    return;
  }
  const QImage image(reinterpret_cast<const uchar*>(stamp.pixels.data()), stamp.size.width, stamp.size.height,
                     static_cast<qsizetype>(stamp.size.width) * 4, QImage::Format_ARGB32);
  QPixmap pixmap = QPixmap::fromImage(image);
  if (stamp.size.width > kPreviewSide || stamp.size.height > kPreviewSide)
    pixmap = pixmap.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  m_preview->setPixmap(pixmap);
}

}  // namespace varnel

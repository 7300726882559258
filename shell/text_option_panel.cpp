#include "shell/text_option_panel.h"

#include <QCheckBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMoveEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/canvas.h"
#include "platform/profile.h"
#include "settings/app_settings.h"
#include "shell/panel_widgets.h"
#include "shell/window_placement.h"
#include "tools/text_tool.h"

namespace varnel {
namespace {

constexpr const char* kTextXPosKey = "TEXTUIXPOS";
constexpr const char* kTextYPosKey = "TEXTUIYPOS";
// A window being dragged moves many times; its place is written once it has rested this long.
constexpr int kStoreDelayMs = 300;

}  // namespace

TextOptionPanel::TextOptionPanel(Profile& profile, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_profile(profile), m_storeTimer(new QTimer(this)) {
  setObjectName("TextOptionPanel");
  setWindowTitle(QString::fromUtf8(kTextToolName));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);

  m_text = new QPlainTextEdit(this);
  m_text->setObjectName("TextText");
  m_text->setTabChangesFocus(true);
  layout->addWidget(m_text, 1);

  auto* form = new QFormLayout;
  m_font = new QFontComboBox(this);
  m_font->setObjectName("TextFont");
  form->addRow("フォント", m_font);
  m_size = MakeSpin(this, "TextSize", kTextSizeMinimum, kTextSizeMaximum);
  m_size->setSuffix(" px");
  form->addRow("サイズ", m_size);
  m_opacity = MakeSpin(this, "TextOpacity", 0, 100);
  m_opacity->setSuffix(" %");
  form->addRow("不透明度", m_opacity);
  layout->addLayout(form);

  auto* styles = new QHBoxLayout;
  m_bold = MakeCheck(this, "TextBold", "太字");
  m_italic = MakeCheck(this, "TextItalic", "斜体");
  m_vertical = MakeCheck(this, "TextVertical", "縦書き", "上から下へ、行は右から左へ");
  m_antialias = MakeCheck(this, "TextAntiAlias", "アンチエイリアス");
  for (QCheckBox* box : {m_bold, m_italic, m_vertical, m_antialias}) styles->addWidget(box);
  layout->addLayout(styles);

  m_apply = new QPushButton("適用", this);
  m_apply->setObjectName("TextApply");
  m_apply->setToolTip("クリックした位置に文字を描画します (Enter)");
  layout->addWidget(m_apply, 0, Qt::AlignRight);

  connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
    if (m_refreshing) return;
    ProgramTextSettings().text = m_text->toPlainText().toStdString();
    Changed();
  });
  connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
    if (m_refreshing) return;
    ProgramTextSettings().font = font.family().toStdString();
    Changed();
  });
  auto bindNumber = [this](QSpinBox* spin, int32_t TextSettings::*field) {
    connect(spin, &QSpinBox::valueChanged, this, [this, field](int value) {
      if (m_refreshing) return;
      ProgramTextSettings().*field = value;
      Changed();
    });
  };
  bindNumber(m_size, &TextSettings::size);
  bindNumber(m_opacity, &TextSettings::opacity);
  auto bindFlag = [this](QCheckBox* box, bool TextSettings::*field) {
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      if (m_refreshing) return;
      ProgramTextSettings().*field = on;
      Changed();
    });
  };
  bindFlag(m_bold, &TextSettings::bold);
  bindFlag(m_italic, &TextSettings::italic);
  bindFlag(m_vertical, &TextSettings::vertical);
  bindFlag(m_antialias, &TextSettings::antialias);
  connect(m_apply, &QPushButton::clicked, this, &TextOptionPanel::Apply);

  m_storeTimer->setSingleShot(true);
  m_storeTimer->setInterval(kStoreDelayMs);
  connect(m_storeTimer, &QTimer::timeout, this, [this] {
    if (isVisible()) StorePosition(m_profile, pos());
  });
  Refresh();
}

void TextOptionPanel::Refresh() {
  RefreshGuard guard(m_refreshing);
  const TextSettings& settings = ProgramTextSettings();
  // Setting the same text again would put the cursor back to the start.
  const QString text = QString::fromStdString(settings.text);
  if (m_text->toPlainText() != text) m_text->setPlainText(text);
  m_font->setCurrentFont(QFont(QString::fromStdString(settings.font)));
  m_size->setValue(std::clamp(settings.size, kTextSizeMinimum, kTextSizeMaximum));
  m_opacity->setValue(std::clamp(settings.opacity, 0, 100));
  m_bold->setChecked(settings.bold);
  m_italic->setChecked(settings.italic);
  m_vertical->setChecked(settings.vertical);
  m_antialias->setChecked(settings.antialias);
}

void TextOptionPanel::Changed() { emit settingsChanged(); }

void TextOptionPanel::Apply() {
  Canvas* canvas = Canvas::GetActiveCanvas();
  auto* tool = canvas != nullptr ? dynamic_cast<TextTool*>(canvas->Tool(kTextToolSlot)) : nullptr;
  if (tool == nullptr) return;
  tool->Commit();
  emit applied();
}

void TextOptionPanel::SetToolInUse(bool inUse) {
  if (!inUse) {
    hide();
    return;
  }
  if (isVisible()) return;
  const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
  const QRect available = screen->availableGeometry();
  if (const auto stored = StoredPosition(m_profile, available)) {
    move(*stored);
  } else if (auto* frame = qobject_cast<QMainWindow*>(parentWidget()); frame != nullptr && frame->centralWidget()) {
    // First shown: at the top right of the pictures' area, clear of the docked panels.
    const QWidget* area = frame->centralWidget();
    const QPoint corner = area->mapToGlobal(QPoint(area->width(), 0));
    move(KeepOnScreen(corner.x() - sizeHint().width() - 20, available.left(), available.width()),
         KeepOnScreen(corner.y() + 20, available.top(), available.height()));
  } else if (parentWidget() != nullptr) {
    const QRect owner = parentWidget()->frameGeometry();
    move(KeepOnScreen(owner.right() - sizeHint().width() - 40, available.left(), available.width()),
         KeepOnScreen(owner.top() + 80, available.top(), available.height()));
  }
  show();
}

std::optional<QPoint> TextOptionPanel::StoredPosition(const Profile& profile, const QRect& available) {
  return StoredWindowPosition(profile, kTextXPosKey, kTextYPosKey, available);
}

void TextOptionPanel::StorePosition(Profile& profile, const QPoint& position) {
  StoreWindowPosition(profile, kTextXPosKey, kTextYPosKey, position);
}

void TextOptionPanel::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible()) m_storeTimer->start();
}

void TextOptionPanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_storeTimer->stop();
  StorePosition(m_profile, pos());
}

}  // namespace varnel

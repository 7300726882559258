#include "shell/panel_widgets.h"

#include "platform/profile.h"
#include "settings/app_settings.h"
#include "shell/window_placement.h"

namespace varnel {

ClampingSpinBox* MakeSpin(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* spin = new ClampingSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(minimum, maximum);
  return spin;
}

QLabel* MakeTitle(QWidget* parent, const char* name) {
  auto* title = new QLabel(QString::fromUtf8(name), parent);
  title->setObjectName("ToolName");
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  return title;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, const char* tooltip) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(name);
  if (tooltip) box->setToolTip(QString::fromUtf8(tooltip));
  return box;
}

std::optional<QPoint> StoredWindowPosition(const Profile& profile, const char* xKey, const char* yKey,
                                           const QRect& available) {
  if (!profile.Has(kSettingsSection, xKey) || !profile.Has(kSettingsSection, yKey)) return std::nullopt;
  const int32_t x = profile.GetInt(kSettingsSection, xKey, 0);
  const int32_t y = profile.GetInt(kSettingsSection, yKey, 0);
  return QPoint(KeepOnScreen(x, available.left(), available.width()), KeepOnScreen(y, available.top(), available.height()));
}

void StoreWindowPosition(Profile& profile, const char* xKey, const char* yKey, const QPoint& position) {
  profile.WriteInt(kSettingsSection, xKey, position.x());
  profile.WriteInt(kSettingsSection, yKey, position.y());
}

}  // namespace varnel

#include "shell/panel_widgets.h"

namespace varnel {

ClampingSpinBox* MakeSpin(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* spin = new ClampingSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(minimum, maximum);
  return spin;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, const char* tooltip) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(name);
  if (tooltip) box->setToolTip(QString::fromUtf8(tooltip));
  return box;
}

}  // namespace varnel

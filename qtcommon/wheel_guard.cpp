#include "qtcommon/wheel_guard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

namespace varnel {
namespace {

class WheelGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    auto* control = static_cast<QWidget*>(watched);
    if (control->hasFocus()) return false;
    // Not taken here, the event goes on to the control's parents.
    event->ignore();
    return true;
  }
};

template <class Control>
void Guard(QWidget* panel, WheelGuard* guard) {
  for (Control* control : panel->findChildren<Control*>()) {
    // Scroll bars are there to be wheeled.
    if (qobject_cast<QScrollBar*>(control) != nullptr) continue;
    control->installEventFilter(guard);
    control->setFocusPolicy(Qt::StrongFocus);
  }
}

}  // namespace

void GuardWheelOfControls(QWidget* panel) {
  auto* guard = new WheelGuard(panel);
  Guard<QAbstractSpinBox>(panel, guard);
  Guard<QAbstractSlider>(panel, guard);
  Guard<QComboBox>(panel, guard);
}

}  // namespace varnel

#pragma once
// Panels are scrolled over with the wheel on the way to somewhere else: their spin boxes,
// sliders and combo boxes take the wheel only once the user has given them the focus, and
// otherwise pass it on (the panel's scroll area scrolls).

class QWidget;

namespace varnel {

// Guards the value controls inside panel as they are now (scroll bars excepted), and the wheel
// no longer gives them the focus.
void GuardWheelOfControls(QWidget* panel);

}  // namespace varnel

#pragma once
// The program's message boxes in Qt: the host interface's button and icon styles shown as a
// QMessageBox, and the button chosen answered as the host's answer. Shared by the desktop
// program and by the libraries that show boxes of their own (the file gateway).

#include <QString>
#include <cstdint>
#include <string_view>

class QWidget;

namespace varnel {

// Shows the box modally over owner (may be null); an empty caption shows defaultCaption.
int ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, uint32_t style,
                   const QString& defaultCaption);

}  // namespace varnel

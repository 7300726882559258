#pragma once
// A middle click in a multi-line text box pastes the X11 primary selection. Qt 6.4's text boxes
// crash when that selection offers no format at all (nothing has been selected anywhere since
// the X server started); the click then pastes nothing instead.

class QApplication;

namespace varnel {

// Guards every QTextEdit and QPlainTextEdit of the application, those of loaded libraries too.
void GuardSelectionPaste(QApplication& app);

}  // namespace varnel

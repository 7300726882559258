#include "shell/child_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>

#include "platform/host.h"

#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {

CChildFrame::CChildFrame(CVarnelDoc* document, CVarnelView* view, QWidget* parent)
    : QMdiSubWindow(parent), m_document(document), m_view(view) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(view);
  // As the view: Tab from a panel must not activate this picture.
  setFocusPolicy(Qt::ClickFocus);
  // The window menu's close takes Ctrl+W on some desktops, which is quick save here: two
  // owners of one key make Qt run neither.
  if (QMenu* menu = systemMenu()) {
    for (QAction* action : menu->actions()) {
      QList<QKeySequence> keys = action->shortcuts();
      if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W)) > 0) action->setShortcuts(keys);
    }
  }
  setWindowTitle(document->Title());
  connect(document, &CVNDocument::titleChanged, this, &QWidget::setWindowTitle);
  // The frame owns its document: closing the window closes the picture.
  document->setParent(this);
}

bool CChildFrame::SaveModified() {
  if (m_document == nullptr || !m_document->IsModified()) return true;
  const std::string question = m_document->Title().toStdString() + " への変更を保存しますか?";
  const int32_t answer = GetHost().MessageBox(question, "", kMbYesNoCancel | kMbIconWarning);
  return answer == kIdNo || (answer == kIdYes && saveDocument && saveDocument(m_document));
}

void CChildFrame::CloseAnswered() {
  m_answered = true;
  close();
  m_answered = false;
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  if (!m_answered && !SaveModified()) {
    event->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(event);
}

}  // namespace varnel

#include "shell/child_frame.h"

#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {

CChildFrame::CChildFrame(CVarnelDoc* document, CVarnelView* view, QWidget* parent)
    : QMdiSubWindow(parent), m_document(document), m_view(view) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(view);
  setWindowTitle(document->Title());
  connect(document, &CVNDocument::titleChanged, this, &QWidget::setWindowTitle);
  // The frame owns its document: closing the window closes the picture.
  document->setParent(this);
}

}  // namespace varnel

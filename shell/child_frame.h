#pragma once
// A document window inside the main frame's MDI area.

#include <QMdiSubWindow>

namespace varnel {

class CVarnelDoc;
class CVarnelView;

class CChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  CChildFrame(CVarnelDoc* document, CVarnelView* view, QWidget* parent = nullptr);

  CVarnelDoc* GetActiveDocument() const { return m_document; }
  CVarnelView* GetActiveView() const { return m_view; }

 private:
  CVarnelDoc* m_document;
  CVarnelView* m_view;
};

}  // namespace varnel

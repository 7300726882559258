#pragma once
// A document window inside the main frame's MDI area.

#include <QMdiSubWindow>
#include <functional>

namespace varnel {

class CVarnelDoc;
class CVarnelView;

class CChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  CChildFrame(CVarnelDoc* document, CVarnelView* view, QWidget* parent = nullptr);

  CVarnelDoc* GetActiveDocument() const { return m_document; }
  CVarnelView* GetActiveView() const { return m_view; }

  // Saves the document when the user wants its changes kept on closing; true when saved.
  std::function<bool(CVarnelDoc*)> saveDocument;

 protected:
  // A modified picture asks whether to save first; Cancel (or a failed save) keeps it open.
  void closeEvent(QCloseEvent* event) override;

 private:
  CVarnelDoc* m_document;
  CVarnelView* m_view;
};

}  // namespace varnel

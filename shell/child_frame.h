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

  // Asks a modified picture whether to save it, and saves it on Yes; false on Cancel or a failed
  // save, when the picture must stay open.
  bool SaveModified();
  // Closes the window without asking again: the question was answered already.
  void CloseAnswered();

 protected:
  // A modified picture asks whether to save first; Cancel (or a failed save) keeps it open.
  void closeEvent(QCloseEvent* event) override;

 private:
  CVarnelDoc* m_document;
  CVarnelView* m_view;
  bool m_answered = false;
};

}  // namespace varnel

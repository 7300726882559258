#include "qtcommon/selection_paste_guard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace varnel {
namespace {

class SelectionPasteGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease) return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton || !watched->isWidgetType()) return false;
    // The click reaches the text box's viewport.
    const QObject* box = watched->parent();
    if (qobject_cast<const QPlainTextEdit*>(box) == nullptr && qobject_cast<const QTextEdit*>(box) == nullptr) return false;
    const QMimeData* selection = QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
    return selection == nullptr || selection->formats().isEmpty();
  }
};

}  // namespace

void GuardSelectionPaste(QApplication& app) { app.installEventFilter(new SelectionPasteGuard(&app)); }

}  // namespace varnel

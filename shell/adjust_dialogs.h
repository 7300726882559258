#pragma once
// The dialogs of the four colour adjustments of the 画像 menu: 色調補正, 明度・コントラスト調整,
// トーンバランス and RGBA値操作. While one is open the view shows the picture adjusted: every
// change puts back what the last one showed and adjusts the part of the active layer the view
// shows (through the selection, as the operation will); OK applies the adjustment to the whole
// layer as one undo step, Cancel leaves the picture exactly as it was.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

#include "colour/adjustments.h"

namespace varnel {

struct CommandContext;
class CVarnelView;

// The handler of the four commands: the dialog of the command id on the active picture.
void RunAdjustment(CommandContext& context, int id);

class AdjustmentDialog : public QDialog {
  Q_OBJECT

 public:
  AdjustmentDialog(CVarnelView& view, const QString& title, QWidget* parent);
  ~AdjustmentDialog() override;

  // The adjustment the dialog's values give.
  virtual Adjustment Current() const = 0;

  // Commits the adjustment, or puts the picture back.
  void accept() override;
  void reject() override;

 protected:
  // Derived dialogs call this whenever a value changes; the preview follows once the events of
  // the change are handled.
  void Changed();
  // The OK and Cancel buttons, for the derived dialog's layout.
  QWidget* Buttons();

 private:
  void ShowPreview();
  void ShowPictureChanges();

  QPointer<CVarnelView> m_view;
  std::unique_ptr<AdjustmentPreview> m_preview;
  bool m_previewPending = false;
};

// Tests answer the dialogs: the hook gets each dialog once it is built (not yet shown) and
// answers QDialog::Accepted or Rejected in place of its event loop.
void SetAdjustmentDialogHookForTesting(std::function<int(AdjustmentDialog&)> hook);

}  // namespace varnel

#pragma once
// "バッチ処理": the batch files of Filter/Batch/ in a list; "実行開始" runs the chosen one over
// the image with the progress bar, "中断" asks for an abort after the running filter.

#include <QDialog>
#include <string>

#include "sdk/varnel_image.h"
#include "sievehost/batch_run.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace varnel::sievehost {

class BatchDialog : public QDialog {
  Q_OBJECT

 public:
  // The control ids of the design, as object names for the tests.
  static constexpr int kAbortId = 8030, kListId = 8031, kStatusId = 8033, kProgressId = 8035;

  BatchDialog(QWidget* owner, ImageDescriptor& head, const SievehostLibraryList& libraries);
  ~BatchDialog() override;

  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void StartRun();

  ImageDescriptor& m_head;
  const SievehostLibraryList& m_libraries;
  QListWidget* m_list;
  QLabel* m_status;
  QProgressBar* m_progress;
  QPushButton* m_start;
  QPushButton* m_abort;
  BatchRun* m_run = nullptr;
  bool m_running = false;
  bool m_stop = false;
};

}  // namespace varnel::sievehost

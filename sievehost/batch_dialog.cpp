#include "sievehost/batch_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/host.h"
#include "platform/program_folder.h"
#include "qtcommon/qt_message_box.h"

namespace varnel::sievehost {

BatchDialog::BatchDialog(QWidget* owner, ImageDescriptor& head, const SievehostLibraryList& libraries)
    : QDialog(owner), m_head(head), m_libraries(libraries) {
  setWindowTitle(QStringLiteral("バッチ処理"));
  m_list = new QListWidget(this);
  m_list->setObjectName(QString::number(kListId));
  for (const std::string& name : BatchFileNames(ProgramPath("Filter/Batch")))
    m_list->addItem(QString::fromStdString(name));
  m_status = new QLabel(QString::fromUtf8(kBatchReadyText), this);
  m_status->setObjectName(QString::number(kStatusId));
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QString::number(kProgressId));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_start = new QPushButton(QStringLiteral("実行開始"), this);
  m_start->setDefault(true);
  m_abort = new QPushButton(QStringLiteral("中断"), this);
  m_abort->setObjectName(QString::number(kAbortId));
  m_abort->setEnabled(false);
  auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_start);
  buttons->addWidget(m_abort);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list);
  layout->addWidget(m_status);
  layout->addWidget(m_progress);
  layout->addLayout(buttons);

  connect(m_start, &QPushButton::clicked, this, &BatchDialog::StartRun);
  connect(m_abort, &QPushButton::clicked, this, [this] {
    if (m_run) m_run->RequestAbort();
  });
  connect(cancel, &QPushButton::clicked, this, &BatchDialog::reject);
}

BatchDialog::~BatchDialog() {
  // Destroyed while running: no further line is started.
  m_stop = true;
}

void BatchDialog::reject() {
  if (m_running) return;  // "ｷｬﾝｾﾙ" does nothing while a batch runs
  QDialog::reject();
}

void BatchDialog::closeEvent(QCloseEvent* event) {
  if (m_running) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void BatchDialog::StartRun() {
  if (m_running) return;
  QListWidgetItem* item = m_list->currentItem();
  if (item == nullptr) {
    ShowMessageBox(this, kBatchNoSelectionMessage, "", kMbOk, windowTitle());
    accept();
    return;
  }
  const std::string path = ReadablePath("Filter/Batch/" + item->text().toStdString());
  std::string content;
  m_running = true;
  if (!ReadBatchFile(path, content)) {
    ShowMessageBox(this, BatchFileOpenErrorMessage(path), "", kMbOk | kMbIconWarning, windowTitle());
    m_running = false;
    accept();
    return;
  }
  m_status->setText(QString::fromUtf8(kBatchRunningText));
  m_abort->setEnabled(true);
  m_start->setEnabled(false);

  BatchRunHooks hooks;
  hooks.message = [this](const std::string& text) { ShowMessageBox(this, text, "", kMbOk, windowTitle()); };
  hooks.status = [this](const std::string& text) { m_status->setText(QString::fromStdString(text)); };
  hooks.progress = [this](int32_t percent) {
    m_progress->setValue(percent);
    QApplication::processEvents();
  };
  hooks.stopped = [this] { return m_stop; };
  BatchRun run(m_libraries, std::move(hooks));
  m_run = &run;
  RunBatchOnImage(run, content, &m_head);
  m_run = nullptr;
  m_running = false;
  accept();
}

}  // namespace varnel::sievehost

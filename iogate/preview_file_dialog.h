#pragma once
// CPreviewFileDialog: the open dialog with a 120 × 120 picture preview, three lines on the
// file, and the favourite folders ("フォルダ登録", "フォルダ呼び出し").

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "iogate/folder_history.h"
#include "iogate/gateway_file_dialog.h"
#include "iogate/plugin_list.h"
#include "iogate/preview_picture.h"

class QLabel;
class QPushButton;

namespace varnel::iogate {

// The preview area: cleared, then the fitted picture at (1, 1), or a notice at (10, 10).
class PreviewArea : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewArea(QWidget* parent = nullptr);
  void Show(const Preview& preview);
  void Clear();

  // What is drawn: the picture (null when there is none) and the notice.
  const QImage& Picture() const { return m_picture; }
  const QString& Notice() const { return m_notice; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_picture;
  QString m_notice;
};

class CPreviewFileDialog : public GatewayFileDialog {
  Q_OBJECT

 public:
  // flags: the kIogate... dialog flags. The folder history is read from, and when the dialog
  // closes written back to, the profile at profilePath.
  CPreviewFileDialog(QWidget* parent, const PluginList& plugins, std::vector<FilterEntry> types, uint32_t flags,
                     std::string profilePath);

  const FolderHistory& History() const { return m_history; }
  PreviewArea* Area() const { return m_area; }

  void done(int result) override;

 private:
  void ShowPreview(const QString& path);
  void RegisterFolder();
  void RecallFolder();

  const PluginList& m_plugins;
  std::string m_profilePath;
  FolderHistory m_history;
  PreviewArea* m_area = nullptr;
  std::array<QLabel*, 4> m_lines{};
  QPushButton* m_registerButton = nullptr;
  QPushButton* m_recallButton = nullptr;
};

}  // namespace varnel::iogate

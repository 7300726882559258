#include "iogate/preview_file_dialog.h"

#include <sys/stat.h>

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "iogate/folder_dialog.h"

namespace varnel::iogate {
namespace {

// The area holds the 120 × 120 picture with a one-pixel margin all round.
constexpr int kAreaSide = kPreviewSize + 2;

bool IsExistingFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent) {
  setObjectName("previewArea");
  setFixedSize(kAreaSide, kAreaSide);
}

void PreviewArea::Show(const Preview& preview) {
  m_picture = QImage();
  m_notice.clear();
  switch (preview.status) {
    case PreviewStatus::kShown: {
      const PreviewBitmap& bitmap = preview.bitmap;
      // The bitmap's rows run bottom-up; the mirrored copy owns its pixels.
      m_picture = QImage(bitmap.bits.data(), bitmap.width, bitmap.height, static_cast<qsizetype>(bitmap.stride),
                         QImage::Format_BGR888)
                      .mirrored(false, true);
      break;
    }
    case PreviewStatus::kNotSupported:
      m_notice = QString::fromUtf8(kPreviewNotSupported);
      break;
    case PreviewStatus::kBroken:
      m_notice = QString::fromUtf8(kPreviewBroken);
      break;
  }
  update();
}

void PreviewArea::Clear() {
  m_picture = QImage();
  m_notice.clear();
  update();
}

void PreviewArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!m_picture.isNull()) {
    painter.drawImage(QPoint(1, 1), m_picture);
  } else if (!m_notice.isEmpty()) {
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 10, width() - 10, height() - 10), Qt::AlignLeft | Qt::AlignTop, m_notice);
  }
}

CPreviewFileDialog::CPreviewFileDialog(QWidget* parent, const PluginList& plugins, std::vector<FilterEntry> types,
                                       uint32_t flags, std::string profilePath)
    : GatewayFileDialog(parent, std::move(types)), m_plugins(plugins), m_profilePath(std::move(profilePath)) {
  setObjectName("CPreviewFileDialog");
  setWindowTitle(QString::fromUtf8(kOpenTitle));
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode((flags & 0x1000) != 0 ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

  auto* panel = new QWidget(this);
  panel->setObjectName("previewPanel");
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  m_area = new PreviewArea(panel);
  column->addWidget(m_area);
  static const char* const kLineNames[] = {"fileSizeLine", "modifiedLine", "createdLine", "fourthLine"};
  for (size_t i = 0; i < m_lines.size(); ++i) {
    m_lines[i] = new QLabel(panel);
    m_lines[i]->setObjectName(kLineNames[i]);
    column->addWidget(m_lines[i]);
  }
  m_registerButton = new QPushButton(QString::fromUtf8(kRegisterFolder), panel);
  m_registerButton->setObjectName("registerFolderButton");
  m_registerButton->setAutoDefault(false);
  m_recallButton = new QPushButton(QString::fromUtf8(kRecallFolder), panel);
  m_recallButton->setObjectName("recallFolderButton");
  m_recallButton->setAutoDefault(false);
  column->addWidget(m_registerButton);
  column->addWidget(m_recallButton);
  column->addStretch(1);
  if (QGridLayout* grid = Grid()) grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);

  Profile profile(m_profilePath);
  m_history.Load(profile);

  connect(this, &QFileDialog::currentChanged, this, &CPreviewFileDialog::ShowPreview);
  connect(m_registerButton, &QPushButton::clicked, this, &CPreviewFileDialog::RegisterFolder);
  connect(m_recallButton, &QPushButton::clicked, this, &CPreviewFileDialog::RecallFolder);
}

void CPreviewFileDialog::ShowPreview(const QString& path) {
  const std::string file = QFile::encodeName(path).toStdString();
  if (!IsExistingFile(file)) {
    m_area->Clear();
    for (QLabel* line : m_lines) line->clear();
    return;
  }
  Guarded([&] {
    m_area->Show(LoadPreview(file, m_plugins));
    const std::array<std::string, 3> lines = FileInfoLines(file);
    for (size_t i = 0; i < lines.size(); ++i) m_lines[i]->setText(QString::fromStdString(lines[i]));
  });
}

void CPreviewFileDialog::RegisterFolder() {
  m_history.Add(QFile::encodeName(directory().absolutePath()).toStdString());
}

void CPreviewFileDialog::RecallFolder() {
  CFolderDialog folders(this, m_history.Folders(), directory().absolutePath());
  if (folders.exec() == QDialog::Accepted && !folders.Chosen().isEmpty()) setDirectory(folders.Chosen());
}

void CPreviewFileDialog::done(int result) {
  Profile profile(m_profilePath);
  m_history.Save(profile);
  GatewayFileDialog::done(result);
}

}  // namespace varnel::iogate

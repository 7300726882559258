#include "shell/varnel_doc.h"

#include <QFileInfo>

#include "brush/brush_tool.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "platform/profile.h"
#include "shell/settings.h"
#include "platform/host.h"
#include "shell/messages.h"

namespace varnel {

void CVNDocument::SetTitle(const QString& title) {
  if (title == m_title) return;
  m_title = title;
  emit titleChanged(title);
}

CVarnelDoc::CVarnelDoc() {
  m_canvas.SetTool(kBrushToolSlot, std::make_unique<BrushTool>(m_canvas));
  m_canvas.SelectTool(kBrushToolSlot);
  m_canvas.onRefresh = [this] {
    m_canvas.ComposeAll();
    UpdateAllViews();
  };
}

bool CVarnelDoc::OnNewDocument(Size size) {
  // A new image is one opaque white layer.
  auto layer = std::make_unique<Layer>();
  if (layer->Create(size) != 0) return false;
  m_canvas.InitWithLayer(std::move(layer));
  m_canvas.ComposeAll();
  m_canvas.Composite().ClearDirty();
  SetModifiedFlag(false);
  return true;
}

bool CVarnelDoc::OnOpenDocument(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile() || !info.isReadable()) {
    GetHost().MessageBox(FileOpenErrorMessage(path.toStdString()), "", kMbOk | kMbIconWarning);
    return false;
  }
  WaitCursor wait;
  OpenedPicture picture;
  std::string reason;
  if (ReadPicture(path.toStdString(), picture, &reason) != 0) {
    if (!reason.empty()) GetHost().MessageBox(reason, "", kMbOk);
    GetHost().MessageBox(kMsgCannotReadPicture, "", kMbOk);
    return false;
  }
  // The grid travels with the document until its view takes it over.
  m_grid = picture.grid.value_or(GridSettings{});
  PlacePicture(m_canvas, picture);
  m_canvas.Composite().ClearDirty();
  SetModifiedFlag(false);
  return true;
}

bool CVarnelDoc::OnSaveDocument(const QString& path) {
  const bool backup = AppProfile().GetInt(kSettingsSection, "BACKUPSAVE", 0) != 0;
  // The file gets the picture as it stands, whatever the views have drawn so far.
  m_canvas.ComposeAll();
  SaveResult result = SaveResult::kFailed;
  try {
    result = SaveDocument(path.toStdString(), m_canvas, m_grid, backup);
  } catch (const FileError&) {
    GetHost().MessageBox(FileSaveErrorMessage(path.toStdString()), "", kMbOk | kMbIconWarning);
    return false;
  }
  if (result == SaveResult::kNoWriter) GetHost().MessageBox(kNoWriterForFormat, "", kMbOk | kMbIconWarning);
  if (result != SaveResult::kWritten) return false;
  SetModifiedFlag(false);
  return true;
}

void CVarnelDoc::UpdateAllViews() {
  ImageSurface& composite = m_canvas.Composite();
  if (composite.IsDirtyEmpty()) return;
  const Rect area = composite.DirtyRect();
  composite.ClearDirty();
  emit pictureChanged(area);
}

}  // namespace varnel

#include "shell/varnel_doc.h"

#include <QFileInfo>

#include "platform/host.h"
#include "shell/messages.h"

namespace varnel {

void CVNDocument::SetTitle(const QString& title) {
  if (title == m_title) return;
  m_title = title;
  emit titleChanged(title);
}

bool CVarnelDoc::OnNewDocument(Size size) {
  if (m_picture.Create(size) != 0) return false;
  m_picture.ClearDirty();
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
  // No picture reader is part of this build yet, so every file is one it cannot read.
  GetHost().MessageBox(kMsgCannotReadPicture, "", kMbOk);
  return false;
}

void CVarnelDoc::UpdateAllViews() {
  if (m_picture.IsDirtyEmpty()) return;
  const Rect area = m_picture.DirtyRect();
  m_picture.ClearDirty();
  emit pictureChanged(area);
}

}  // namespace varnel

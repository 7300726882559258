#pragma once
// The image document: one picture, shown by CVarnelView in a CChildFrame.

#include <QObject>
#include <QString>
#include <memory>

#include "core/canvas.h"
#include "document/layer_file.h"

namespace varnel {

// The common base of the program's document classes; it adds nothing to QObject's document role.
class CVNDocument : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  const QString& Title() const { return m_title; }
  void SetTitle(const QString& title);
  const QString& PathName() const { return m_pathName; }
  void SetPathName(const QString& path) { m_pathName = path; }
  bool IsModified() const { return m_modified; }
  void SetModifiedFlag(bool modified) { m_modified = modified; }

 signals:
  void titleChanged(const QString& title);
  // Views repaint the given rectangle of the picture (image pixels, inclusive).
  void pictureChanged(const Rect& area);

 private:
  QString m_title;
  QString m_pathName;
  bool m_modified = false;
};

class CVarnelDoc : public CVNDocument {
  Q_OBJECT

 public:
  using CVNDocument::CVNDocument;

  // A new picture of the given size, opaque white. Answers false when the size cannot be made.
  bool OnNewDocument(Size size);
  // Opens a picture file. Answers false after telling the user why.
  bool OnOpenDocument(const QString& path);
  // Saves the picture by the path's extension (the format warning, BACKUPSAVE). Answers true
  // and clears the modified flag only when the file was written.
  bool OnSaveDocument(const QString& path);

  CVarnelDoc();

  // The picture: its layer stack and the composite the views show.
  Canvas& GetCanvas() { return m_canvas; }
  ImageSurface& Picture() { return m_canvas.Composite(); }
  const ImageSurface& Picture() const { return m_canvas.Composite(); }

  // Tells the views which part of the composite changed and clears its dirty rectangle.
  void UpdateAllViews();

  // The grid settings the document's file carried (defaults for a new picture).
  const GridSettings& Grid() const { return m_grid; }

 private:
  Canvas m_canvas;
  GridSettings m_grid;
};

}  // namespace varnel

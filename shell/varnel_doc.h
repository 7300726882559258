#pragma once
// The image document: one picture, shown by CVarnelView in a CChildFrame.

#include <QObject>
#include <QString>
#include <functional>
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
  // The canvas may have a new size: views fit their scrolling to it and repaint.
  void sizeChanged();
  // The selection changed (views draw its outline and the area outside it themselves).
  void selectionChanged();

 private:
  QString m_title;
  QString m_pathName;
  bool m_modified = false;
};

class CVarnelDoc : public CVNDocument {
  Q_OBJECT

 public:
  using CVNDocument::CVNDocument;

  // Set by the main window: makes a colour the application's foreground colour (the
  // eyedropper's pick).
  static inline std::function<void(ColourRef)> setForeground;

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
  const Canvas& GetCanvas() const { return m_canvas; }
  ImageSurface& Picture() { return m_canvas.Composite(); }
  const ImageSurface& Picture() const { return m_canvas.Composite(); }

  // Tells the views which part of the composite changed and clears its dirty rectangle.
  void UpdateAllViews();

  // The grid settings the document's file carried (defaults for a new picture).
  const GridSettings& Grid() const { return m_grid; }
  // Replaces the grid; the views redraw. With changesDocument the picture counts as changed
  // (the grid is saved with it).
  void SetGrid(const GridSettings& grid, bool changesDocument) {
    if (grid == m_grid) return;
    m_grid = grid;
    if (changesDocument) SetModifiedFlag(true);
    emit gridChanged();
  }

  // Adds the layers of a picture file on top of this picture ("レイヤ読み込み"). False after
  // telling the user why.
  bool AddLayersFromFile(const QString& path);

  // Mask editing: the active layer's mask (maskIndex, or its first, or a new one when it has
  // none) becomes a canvas-sized grey image that the tools paint (white shows the layer, black
  // hides it); ending writes the image back into that mask. Both answer whether anything changed.
  bool BeginMaskEdit(int32_t maskIndex);
  bool EndMaskEdit();

  void SizeChanged() { emit sizeChanged(); }

 signals:
  void gridChanged();

 private:
  // Reads a picture file and places its layers on the canvas, telling the user what failed.
  bool LoadPicture(const QString& path);

  Canvas m_canvas;
  GridSettings m_grid;
  Layer* m_maskLayer = nullptr;  // the layer whose mask is under edit
  int32_t m_maskIndex = -1;      // -1: a new mask
};

}  // namespace varnel

#include "shell/varnel_doc.h"

#include <QApplication>
#include <QFileInfo>

#include "brush/brush_tool.h"
#include "document/document_file.h"
#include "document/layer_commands.h"
#include "document/file_io.h"
#include "platform/profile.h"
#include "settings/app_settings.h"
#include "platform/host.h"
#include "shell/messages.h"
#include "shell/text_renderer.h"
#include "tools/area_fill_tool.h"
#include "tools/layer_move_tool.h"
#include "tools/curve_tool.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"
#include "tools/gradient_tool.h"
#include "tools/line_tool.h"
#include "tools/measure_tools.h"
#include "tools/selection_tool.h"
#include "tools/stamp_tool.h"
#include "shell/tool_palette.h"
#include "tools/grid_snap.h"
#include "tools/zoom_tool.h"
#include "tools/shape_tools.h"

namespace varnel {

void CVNDocument::SetTitle(const QString& title) {
  if (title == m_title) return;
  m_title = title;
  emit titleChanged(title);
}

CVarnelDoc::CVarnelDoc() {
  auto brush = std::make_unique<BrushTool>(m_canvas);
  // Alt + click with the brush is a click of the eyedropper.
  brush->pickColour = [this](const ToolEvent& event) {
    PaintObject* eyedropper = m_canvas.Tool(kEyedropperToolSlot);
    return eyedropper != nullptr && eyedropper->ButtonDown(event);
  };
  m_canvas.SetTool(kBrushToolSlot, std::move(brush));
  m_canvas.SetTool(kEraserToolSlot, std::make_unique<EraserTool>(m_canvas));
  m_canvas.SetTool(kAreaFillToolSlot, std::make_unique<AreaFillTool>(m_canvas));
  m_canvas.SetTool(kLineToolSlot, std::make_unique<LineTool>(m_canvas));
  m_canvas.SetTool(kCurveToolSlot, std::make_unique<CurveTool>(m_canvas));
  for (const bool filled : {false, true}) {
    m_canvas.SetTool(filled ? kShapeFillToolSlot : kShapeDrawToolSlot,
                     std::make_unique<ShapeTool>(m_canvas, filled, ProgramShapeSettings(filled)));
    m_canvas.SetTool(filled ? kEllipseFillToolSlot : kEllipseDrawToolSlot,
                     std::make_unique<EllipseTool>(m_canvas, filled));
    m_canvas.SetTool(filled ? kPolygonFillToolSlot : kPolygonDrawToolSlot,
                     std::make_unique<PolygonTool>(m_canvas, filled, ProgramPolygonSettings(filled)));
  }
  m_canvas.SetTool(kGradientToolSlot, std::make_unique<GradientTool>(m_canvas));
  m_canvas.SetTool(kStampToolSlot, std::make_unique<StampTool>(m_canvas));
  m_canvas.SetTool(kRulerToolSlot, std::make_unique<RulerTool>(m_canvas));
  m_canvas.SetTool(kCoordinatesToolSlot, std::make_unique<CoordinatesTool>(m_canvas));
  m_canvas.SetTool(kTextToolSlot, std::make_unique<TextTool>(m_canvas, RenderTextCoverage));
  m_canvas.SetTool(kLayerMoveToolSlot, std::make_unique<LayerMoveTool>(m_canvas));
  m_canvas.SetTool(kZoomToolSlot, std::make_unique<ZoomTool>(m_canvas));
  // "入力位置をそろえる": every point reaches the tools on the grid.
  m_canvas.pointFilter = [this](int32_t& x, int32_t& y) {
    if (m_grid.snap != 0) SnapToGrid(m_grid, x, y);
  };
  m_canvas.SetTool(kEyedropperToolSlot, std::make_unique<EyedropperTool>(m_canvas, [](ColourRef colour) {
                     if (setForeground) setForeground(colour);
                   }));
  auto selection = std::make_unique<SelectionTool>(m_canvas);
  selection->onBusy = [](bool busy) {
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  };
  m_canvas.SetTool(kSelectionToolSlot, std::move(selection));
  m_canvas.SelectTool(kBrushToolSlot);
  m_canvas.onRefresh = [this] {
    m_canvas.ComposeAll();
    UpdateAllViews();
  };
  m_canvas.onSelectionChanged = [this] { emit selectionChanged(); };
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

bool CVarnelDoc::LoadPicture(const QString& path) {
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
  if (picture.grid) m_grid = *picture.grid;
  if (!PlacePicture(m_canvas, picture)) {
    GetHost().MessageBox(kDocumentFailed, "", kMbOk | kMbIconWarning);
    return false;
  }
  return true;
}

bool CVarnelDoc::OnOpenDocument(const QString& path) {
  if (!LoadPicture(path)) return false;
  m_canvas.Composite().ClearDirty();
  SetModifiedFlag(false);
  return true;
}

bool CVarnelDoc::AddLayersFromFile(const QString& path) {
  if (!LoadPicture(path)) return false;
  SetModifiedFlag(true);
  return true;
}

bool CVarnelDoc::BeginMaskEdit(int32_t maskIndex) {
  Layer* layer = m_canvas.ActiveLayer();
  if (m_canvas.MaskImage() != nullptr || layer == nullptr) return false;
  const Size size = m_canvas.GetSize();
  auto image = std::make_unique<ImageSurface>();
  if (image->CreateWithAlpha(size, 255) != 0) return false;
  LayerMaskList& masks = layer->Masks();
  int32_t index = maskIndex >= 0 && maskIndex < masks.Count() ? maskIndex : (masks.Count() > 0 ? 0 : -1);
  Region region;
  if (index >= 0 && masks.ReadMask(index, region) != 0) index = -1;
  if (index >= 0) {
    // Outside its rectangle a mask hides the layer: black there, its strengths as grey inside.
    for (int32_t y = 0; y < size.height; ++y) {
      uint32_t* row = image->Row(y);
      for (int32_t x = 0; x < size.width; ++x) {
        const uint32_t v = region.At(x, y);
        row[x] = 0xFF000000u | v << 16 | v << 8 | v;
      }
    }
  }
  m_maskLayer = layer;
  m_maskIndex = index;
  m_canvas.EditMaskImage(std::move(image));
  return true;
}

bool CVarnelDoc::EndMaskEdit() {
  ImageSurface* image = m_canvas.MaskImage();
  if (image == nullptr) return false;
  const Size size = image->GetSize();
  Region region;
  if (region.Create({0, 0, size.width - 1, size.height - 1}, 0) == 0) {
    for (int32_t y = 0; y < size.height; ++y) {
      const uint32_t* row = image->Row(y);
      uint8_t* out = region.Row(y);
      for (int32_t x = 0; x < size.width; ++x) {
        const uint32_t p = row[x];
        out[x] = static_cast<uint8_t>(((p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF)) / 3);
      }
    }
  }
  // The layer may have been deleted while its mask was edited; then there is nothing to keep.
  Layer* layer = nullptr;
  for (int32_t i = 0; i < m_canvas.LayerCount(); ++i)
    if (m_canvas.GetLayer(i) == m_maskLayer) layer = m_maskLayer;
  if (layer != nullptr && !region.IsEmpty()) {
    LayerMaskList& masks = layer->Masks();
    // A mask just painted is meant to be seen: it is on when the editing ends, also one that
    // was off before (masks read from a file or added from a selection start off).
    if (m_maskIndex >= 0 && m_maskIndex < masks.Count()) {
      if (masks.ReplaceMask(m_maskIndex, region) == 0) masks.SetMaskEnabled(m_maskIndex, true);
    } else {
      const int32_t added = masks.AddMask(region);
      if (added >= 0) masks.SetMaskEnabled(added, true);
    }
    SetModifiedFlag(true);
  }
  m_maskLayer = nullptr;
  m_maskIndex = -1;
  m_canvas.EndMaskEdit();
  return true;
}

bool CVarnelDoc::OnSaveDocument(const QString& path) {
  // A mask being painted is part of the picture: it goes into its layer before the save (and
  // the composite loses the red tint that shows it), and editing goes on afterwards.
  if (m_canvas.MaskImage() != nullptr) {
    Layer* layer = m_maskLayer;
    const int32_t index = m_maskIndex;
    EndMaskEdit();
    const bool saved = OnSaveDocument(path);
    if (layer == m_canvas.ActiveLayer())
      BeginMaskEdit(index >= 0 ? index : layer->Masks().Count() - 1);
    m_canvas.ComposeAll();
    return saved;
  }
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

#include "shell/document_commands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <ctime>
#include <iterator>

#include "brush/brush_engine.h"
#include "brush/brush_stroke.h"
#include "brush/brush_tool.h"
#include "colour/colour_file.h"
#include "core/canvas.h"
#include "core/layer.h"
#include "document/bitmap_file.h"
#include "document/document_file.h"
#include "document/file_io.h"
#include "document/layer_commands.h"
#include "document/layer_file.h"
#include "document/picture_commands.h"
#include "document/tool_state.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "shell/command_ids.h"
#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "shell/qt_draw_context.h"
#include "settings/app_settings.h"
#include "shell/value_dialog.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "tools/area_fill_tool.h"
#include "tools/curve_tool.h"
#include "tools/eraser_tool.h"
#include "tools/eyedropper_tool.h"
#include "tools/gradient_tool.h"
#include "tools/stamp_tool.h"
#include "tools/selection_tool.h"
#include "tools/shape_tools.h"
#include "tools/text_tool.h"

namespace varnel {

const int kRegionViewCommands[7] = {cmd::kRegionViewNone,    cmd::kRegionViewInverted, cmd::kRegionViewBlack,
                                    cmd::kRegionViewChecker, cmd::kRegionViewWhite,    cmd::kRegionViewDarker,
                                    cmd::kRegionViewBrighter};

namespace {

constexpr const char* kLayerSaveFilter = "Varnel layer format(*.vlb)| *.vlb;|24bit Bitmap File(*.bmp)| *.bmp;|";
constexpr const char* kBitmap256Filter = "Windows Bitmap(*.bmp)| *.bmp;||";
constexpr const char* kRegionFilter = "Region Data| *.vrd;||";
constexpr const char* kToolStateFilter = "Varnel Object File (*.vpo)| *.vpo;||";
// Sides beyond this would ask for gigabytes per layer.
constexpr int kMaxCanvasSide = 16384;
constexpr const char* kClearUndoQuestion = "アンドゥバッファをクリアします。よろしいですか？";

}  // namespace

DocumentCommands::DocumentCommands(CVarnelApp& app, QWidget* owner, std::function<CVarnelView*()> activeView)
    : QObject(owner), m_app(app), m_owner(owner), m_activeView(std::move(activeView)) {}

CVarnelView* DocumentCommands::View() const { return m_activeView ? m_activeView() : nullptr; }

CVarnelDoc* DocumentCommands::Document() const {
  CVarnelView* view = View();
  return view ? view->GetDocument() : nullptr;
}

Canvas* DocumentCommands::ActiveCanvas() const {
  CVarnelDoc* doc = Document();
  return doc ? &doc->GetCanvas() : nullptr;
}

void DocumentCommands::PictureChanged(bool layers) {
  if (CVarnelDoc* doc = Document()) {
    doc->GetCanvas().ComposeAll();
    doc->SizeChanged();
  }
  ShowChanges(layers);
}

void DocumentCommands::ShowChanges(bool layers) {
  if (CVarnelDoc* doc = Document()) doc->UpdateAllViews();
  if (layers) emit layersChanged();
}

void DocumentCommands::MarkModified() {
  if (CVarnelDoc* doc = Document()) doc->SetModifiedFlag(true);
}

// ---- files -------------------------------------------------------------------------------

void DocumentCommands::Open() {
  if (const auto path = AskFileName(m_owner, OpenRequest("*.vlb;", true))) m_app.OpenDocumentFile(*path);
}

void DocumentCommands::SaveAs() { SaveDocumentAs(Document()); }

bool DocumentCommands::SaveDocumentAs(CVarnelDoc* doc) {
  if (doc == nullptr) return false;
  const auto path = AskFileName(
      m_owner, SaveRequest("*.VLB", kLayerSaveFilter, true, doc->PathName().isEmpty() ? doc->Title() : doc->PathName()));
  if (!path) return false;
  WaitCursor wait;
  if (!doc->OnSaveDocument(*path)) return false;
  doc->SetPathName(*path);
  doc->SetTitle(QFileInfo(*path).fileName());
  m_app.AddRecentFile(*path);
  return true;
}

void DocumentCommands::Save() { SaveDocument(Document()); }

bool DocumentCommands::SaveDocument(CVarnelDoc* doc) {
  if (doc == nullptr) return false;
  // A picture without a file yet is saved under a name the user gives.
  if (doc->PathName().isEmpty()) return SaveDocumentAs(doc);
  WaitCursor wait;
  return doc->OnSaveDocument(doc->PathName());
}

void DocumentCommands::QuickSave() {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  WaitCursor wait;
  // The document keeps its own path and its modified state: a quick save is a copy.
  const bool modified = doc->IsModified();
  if (doc->OnSaveDocument(QString::fromStdString(QuickSavePath(local)))) doc->SetModifiedFlag(modified);
}

void DocumentCommands::LoadLayers() {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  const auto path = AskFileName(m_owner, OpenRequest("*.vlb;", true));
  if (!path) return;
  if (doc->AddLayersFromFile(*path)) PictureChanged(true);
}

void DocumentCommands::Save256Colours() {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  const auto path = AskFileName(m_owner, SaveRequest("*.BMP", kBitmap256Filter, false));
  if (!path) return;
  WaitCursor wait;
  doc->GetCanvas().ComposeAll();
  if (WriteBitmap256(path->toStdString(), doc->Picture()) != 0)
    GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "", kMbOk | kMbIconWarning);
}

namespace {

const ToolWithState kToolsWithState[] = {
    {kSelectionToolSlot, kSelectionToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<SelectionToolState>(ProgramSelectionSettings()); }},
    {kBrushToolSlot, kBrushToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<BrushToolState>(ProgramBrushSettings()); }},
    {kEraserToolSlot, kEraserToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<EraserToolState>(ProgramEraserSettings()); }},
    {kAreaFillToolSlot, kAreaFillToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<AreaFillToolState>(ProgramAreaFillSettings()); }},
    {kCurveToolSlot, kCurveToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<CurveToolState>(ProgramCurveSettings()); }},
    {kShapeDrawToolSlot, kShapeDrawToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<ShapeToolState>(ProgramShapeSettings(false));
     }},
    {kShapeFillToolSlot, kShapeFillToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<ShapeToolState>(ProgramShapeSettings(true));
     }},
    {kPolygonDrawToolSlot, kPolygonDrawToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<PolygonToolState>(ProgramPolygonSettings(false), false);
     }},
    {kPolygonFillToolSlot, kPolygonFillToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<PolygonToolState>(ProgramPolygonSettings(true), true);
     }},
    {kEyedropperToolSlot, kEyedropperToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<EyedropperToolState>(ProgramEyedropperSettings());
     }},
    {kGradientToolSlot, kGradientToolName,
     []() -> std::unique_ptr<ToolStateObject> {
       return std::make_unique<GradientToolState>(ProgramGradientSettings());
     }},
    {kStampToolSlot, kStampToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<StampToolState>(ProgramStampSettings()); }},
    {kTextToolSlot, kTextToolName,
     []() -> std::unique_ptr<ToolStateObject> { return std::make_unique<TextToolState>(ProgramTextSettings()); }},
};

}  // namespace

std::span<const ToolWithState> ToolsWithState() { return kToolsWithState; }

void DocumentCommands::SaveToolState() {
  const ToolWithState* tool = ToolInUse();
  if (tool == nullptr) return;
  const auto path = AskFileName(m_owner, SaveRequest("vpo", kToolStateFilter, false));
  if (!path) return;
  if (!SaveToolStateTo(path->toStdString()))
    GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "", kMbOk | kMbIconWarning);
}

const ToolWithState* DocumentCommands::ToolInUse() const {
  // Without a picture the tool in use is the brush.
  const Canvas* canvas = ActiveCanvas();
  const int32_t slot = canvas != nullptr ? canvas->SelectedTool() : kBrushToolSlot;
  for (const ToolWithState& tool : kToolsWithState)
    if (tool.slot == slot) return &tool;
  return nullptr;
}

bool DocumentCommands::SaveToolStateTo(const std::string& path) const {
  const ToolWithState* tool = ToolInUse();
  if (tool == nullptr) return false;
  const std::unique_ptr<ToolStateObject> state = tool->make();
  return SaveToolStateFile(path, tool->name, *state) == 0;
}

void DocumentCommands::LoadToolState() {
  const auto path = AskFileName(m_owner, OpenRequest(kToolStateFilter, false));
  if (path) LoadToolStateFrom(path->toStdString());
}

void DocumentCommands::LoadToolStateFrom(const std::string& path) {
  // The file names the tool that takes the rest of it; a name that is no tool of the program
  // (or one that keeps no state) changes nothing.
  const ToolWithState* named = nullptr;
  std::unique_ptr<ToolStateObject> state;
  std::string toolName, message;
  const int32_t result = LoadToolStateFile(
      path,
      [&](const std::string& name) -> ToolStateObject* {
        for (const ToolWithState& tool : kToolsWithState)
          if (name == tool.name) named = &tool;
        if (named == nullptr) return nullptr;
        state = named->make();
        return state.get();
      },
      toolName, message);
  if (result != 0 && !message.empty()) GetHost().MessageBox(message, "", kMbOk | kMbIconWarning);
  if (named == nullptr) return;
  if (selectTool) selectTool(named->slot);
  if (named->slot == kBrushToolSlot) {
    // Whatever was read before a fault stays in the brush, so the panels follow either way. A
    // state with clone colour on needs its source loaded, or the brush would paint plain colour.
    BrushToolSettings& settings = ProgramBrushSettings();
    if (settings.cloneColour) settings.SetCloneColour(true);
    RebuildProgramBrush();
    emit brushStateLoaded();
  }
  emit toolStateChanged();
}

void DocumentCommands::ExtractPalette() {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  const auto path = AskFileName(m_owner, SaveRequest("*.CD", kColourDefinitionFilter, false));
  if (!path) return;
  WaitCursor wait;
  doc->GetCanvas().ComposeAll();
  std::vector<ColourRef> colours;
  for (uint32_t entry : MedianCutPalette(doc->Picture())) colours.push_back(ToColourRef(RgbColour{entry}));
  if (!WriteColourDefinitionFile(path->toStdString(), colours))
    GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "", kMbOk | kMbIconWarning);
}

// ---- edit --------------------------------------------------------------------------------

void DocumentCommands::Undo() { StepHistory(false); }

void DocumentCommands::Redo() { StepHistory(true); }

void DocumentCommands::StepHistory(bool redo) {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  WaitCursor wait;
  Canvas& canvas = doc->GetCanvas();
  if (redo) canvas.Redo();
  else canvas.Undo();
  doc->UpdateAllViews();
  emit layersChanged();
}

void DocumentCommands::ClearUndoBuffer() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  if (GetHost().MessageBox(kClearUndoQuestion, "", kMbOkCancel) != kIdOk) return;
  WaitCursor wait;
  // Each layer keeps its own history; the command empties the one undo works on now.
  if (Layer* layer = canvas->ActiveLayer()) layer->Undo().ClearHistory();
  if (ImageSurface* mask = canvas->MaskImage()) mask->Undo().ClearHistory();
}

// ---- image -------------------------------------------------------------------------------

void DocumentCommands::CanvasSize() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  const Size size = canvas->GetSize();
  const auto values = AskValues(m_owner, "キャンバスのサイズ変更",
                                {{"幅", size.width, 1, kMaxCanvasSide}, {"高さ", size.height, 1, kMaxCanvasSide}});
  if (!values) return;
  WaitCursor wait;
  canvas->ResizeCanvas((*values)[0], (*values)[1]);
  if (canvas->GetSize() != size) MarkModified();
  PictureChanged(false);
}

void DocumentCommands::AddMargin() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr || canvas->ActiveLayer() == nullptr) return;
  const auto values = AskValues(m_owner, "余白追加",
                                {{"左", 0, 0, kMaxCanvasSide},
                                 {"右", 0, 0, kMaxCanvasSide},
                                 {"上", 0, 0, kMaxCanvasSide},
                                 {"下", 0, 0, kMaxCanvasSide},
                                 {"", 1, 0, 1, "アクティブレイヤを置き換える"}});
  if (!values) return;
  const Layer* layer = canvas->ActiveLayer();
  const int64_t width = int64_t{layer->Width()} + (*values)[0] + (*values)[1];
  const int64_t height = int64_t{layer->Height()} + (*values)[2] + (*values)[3];
  if (width > kMaxCanvasSide || height > kMaxCanvasSide) {
    GetHost().MessageBox("レイヤが大きくなりすぎます", "", kMbOk | kMbIconWarning);
    return;
  }
  WaitCursor wait;
  canvas->AddMargin((*values)[0], (*values)[1], (*values)[2], (*values)[3], (*values)[4] != 0);
  MarkModified();
  PictureChanged(true);
}

void DocumentCommands::RegionViewCommand(int id) {
  const int mode = static_cast<int>(std::find(std::begin(kRegionViewCommands), std::end(kRegionViewCommands), id) -
                                    std::begin(kRegionViewCommands));
  if (mode >= 7) return;
  m_app.Settings().regionViewMode = mode;
  m_app.GetProfile().WriteInt(kSettingsSection, "REGIONVIEWMODE", mode);
  m_app.RedrawAllViews();
}

// ---- layers ------------------------------------------------------------------------------

void DocumentCommands::LayerCommand(int id) {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  std::vector<int32_t> selected = selectedLayers ? selectedLayers() : std::vector<int32_t>{};
  if (selected.empty()) selected.push_back(canvas->ActiveIndex());
  // What was answered No to, or a layer already at the top, changes nothing to ask about.
  const auto layerList = [canvas] {
    std::vector<const Layer*> layers;
    for (int32_t i = 0; i < canvas->LayerCount(); ++i) layers.push_back(canvas->GetLayer(i));
    return layers;
  };
  const std::vector<const Layer*> before = layerList();
  WaitCursor wait;
  switch (id) {
    case cmd::kNewLayer: canvas->AddLayer(); break;
    case cmd::kDuplicateLayer: canvas->DuplicateActiveLayer(); break;
    case cmd::kDeleteLayer: DeleteSelectedLayers(*canvas, selected); break;
    case cmd::kLayerUp: canvas->MoveActiveLayerUp(); break;
    case cmd::kLayerDown: canvas->MoveActiveLayerDown(); break;
    case cmd::kMergeDown: MergeDown(*canvas, selected); break;
    case cmd::kMergeWithBase: MergeWithBase(*canvas, selected); break;
    // The merged layer opens as a new document beside this one.
    case cmd::kMergeIntoNewDocument:
      if (auto merged = MergeIntoNewDocument(*canvas, selected)) m_app.OpenLayerAsDocument(std::move(merged));
      break;
    case cmd::kMergeAll:
      if (auto merged = MergeAll(*canvas)) m_app.OpenLayerAsDocument(std::move(merged));
      break;
    default: return;
  }
  if (layerList() != before) MarkModified();
  PictureChanged(true);
}

void DocumentCommands::ImageEditMode() { SetMaskEditMode(false); }

void DocumentCommands::MaskEditMode() { SetMaskEditMode(true); }

void DocumentCommands::SetMaskEditMode(bool on) {
  CVarnelDoc* doc = Document();
  if (doc == nullptr) return;
  const int32_t mask = selectedMask ? selectedMask() : -1;
  WaitCursor wait;
  const bool changed = on ? doc->BeginMaskEdit(mask) : doc->EndMaskEdit();
  if (changed) PictureChanged(true);
}

// ---- selections ----------------------------------------------------------------------------

void DocumentCommands::RegionCommand(int id) {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  int32_t result = -1;
  bool layers = false;
  switch (id) {
    case cmd::kSelectAll: result = SelectAll(*canvas); break;
    case cmd::kSelectNone: result = Deselect(*canvas); break;
    case cmd::kInvertSelection: result = InvertSelection(*canvas); break;
    case cmd::kAlphaToRegion: result = AlphaToSelection(*canvas); break;
    case cmd::kRegionToAlpha: result = SelectionToAlpha(*canvas); break;
    case cmd::kGrowSelection: result = GrowSelection(*canvas); break;
    case cmd::kShrinkSelection: result = ShrinkSelection(*canvas); break;
    case cmd::kFeatherSelection: {
      const auto values = AskValues(m_owner, "選択領域をぼかす", {{"ぼかし幅", 8, 2, 256}});
      if (!values) return;
      WaitCursor wait;
      result = FeatherSelection(*canvas, (*values)[0]);
      break;
    }
    case cmd::kFillSelection: {
      result = FillSelection(*canvas, ToPixel(foregroundColour ? foregroundColour() : ColourRef{0}, 255));
      break;
    }
    case cmd::kSelectionToLayer:
      result = SelectionToLayer(*canvas) != nullptr ? 0 : -1;
      layers = true;
      break;
    case cmd::kSelectionToMask:
      result = AddSelectionToMaskList(*canvas) >= 0 ? 0 : -1;
      layers = true;
      break;
    default:
      return;
  }
  if (result != 0) return;
  if (layers) MarkModified();
  ShowChanges(layers);
}

void DocumentCommands::SaveSelection() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr || canvas->Selection() == nullptr) return;
  if (const auto path = AskFileName(m_owner, SaveRequest("*.VRD", kRegionFilter, false)))
    varnel::SaveSelection(*canvas, path->toStdString());
}

void DocumentCommands::LoadSelection() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  const auto path = AskFileName(m_owner, OpenRequest(kRegionFilter, false, "*.VRD"));
  if (path && varnel::LoadSelection(*canvas, path->toStdString()) == 0) ShowChanges(false);
}

// ---- channels ------------------------------------------------------------------------------

void DocumentCommands::ChannelCommand(int id) {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  int32_t result = -1;
  bool layers = false;
  if (id >= cmd::kRedToLayer && id <= cmd::kRedToLayer + 3) {
    result = ChannelToLayer(*canvas, static_cast<Channel>(id - cmd::kRedToLayer)) != nullptr ? 0 : -1;
    layers = true;
  } else if (id >= cmd::kClearRed && id <= cmd::kClearRed + 3) {
    result = ClearChannel(*canvas, static_cast<Channel>(id - cmd::kClearRed));
  } else if (id == cmd::kInvertRed || id == cmd::kInvertGreen || id == cmd::kInvertBlue || id == cmd::kInvertAlpha) {
    const Channel channel = id == cmd::kInvertRed     ? Channel::kRed
                            : id == cmd::kInvertGreen ? Channel::kGreen
                            : id == cmd::kInvertBlue  ? Channel::kBlue
                                                      : Channel::kAlpha;
    result = InvertChannel(*canvas, channel);
  } else if (id == cmd::kUnifyAlpha) {
    const auto values = AskValues(m_owner, "アルファチャンネルの統一", {{"アルファ値", 255, 0, 255}});
    if (!values) return;
    result = UnifyAlpha(*canvas, (*values)[0]);
  } else {
    return;
  }
  if (result != 0) return;
  if (layers) MarkModified();
  ShowChanges(layers);
}

// ---- the clipboard -------------------------------------------------------------------------

namespace {

QString LayerDataMimeType() { return QString("application/x-%1").arg(kClipboardLayerData); }


void PutOnClipboard(QMimeData* data) { QApplication::clipboard()->setMimeData(data); }

}  // namespace

void DocumentCommands::ClipboardCommand(int id) {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  WaitCursor wait;
  switch (id) {
    case cmd::kEditCopy:
    case cmd::kEditCut: {
      std::optional<std::vector<uint8_t>> block;
      try {
        block = id == cmd::kEditCut ? CutLayerData(*canvas) : CopyLayerData(*canvas);
      } catch (const FileError& error) {
        GetHost().MessageBox(FileSaveErrorMessage(error.Path()), "", kMbOk | kMbIconWarning);
        return;
      }
      if (!block) return;
      auto* data = new QMimeData;
      data->setData(LayerDataMimeType(), QByteArray(reinterpret_cast<const char*>(block->data()),
                                                    static_cast<qsizetype>(block->size())));
      PutOnClipboard(data);
      if (id == cmd::kEditCut) ShowChanges(false);
      return;
    }
    case cmd::kCopyAsBitmap:
    case cmd::kCopyDisplaySurface: {
      canvas->ComposeAll();
      const auto picture = id == cmd::kCopyAsBitmap ? SelectionBitmap(*canvas) : CompositeCopy(*canvas);
      if (!picture) return;
      QImage image = ToQImage(*picture);
      // The display has no transparency.
      if (id == cmd::kCopyDisplaySurface) image = image.convertToFormat(QImage::Format_RGB32);
      QApplication::clipboard()->setImage(image);
      return;
    }
    case cmd::kPasteAsLayer: {
      const QMimeData* data = QApplication::clipboard()->mimeData();
      if (data == nullptr) return;
      if (data->hasFormat(LayerDataMimeType())) {
        const QByteArray bytes = data->data(LayerDataMimeType());
        if (PasteLayerData(*canvas, std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                              static_cast<size_t>(bytes.size()))) > 0) {
          MarkModified();
          ShowChanges(true);
        }
      } else if (data->hasImage()) {
        const auto picture = FromQImage(qvariant_cast<QImage>(data->imageData()));
        if (picture && PasteImageAsLayer(*canvas, *picture) != nullptr) {
          MarkModified();
          ShowChanges(true);
        }
      }
      return;
    }
    default:
      return;
  }
}

// ---- files of the program folder and information -------------------------------------------

void DocumentCommands::SaveActiveLayer() {
  CVarnelDoc* doc = Document();
  if (doc == nullptr || doc->GetCanvas().ActiveLayer() == nullptr) return;
  const auto path = AskFileName(
      m_owner, SaveRequest("*.VLB", kLayerSaveFilter, true, QString::fromStdString(doc->GetCanvas().ActiveLayer()->Name())));
  if (!path) return;
  WaitCursor wait;
  doc->GetCanvas().ComposeAll();
  try {
    const SaveResult result = varnel::SaveActiveLayer(path->toStdString(), doc->GetCanvas(), doc->Grid());
    if (result == SaveResult::kNoWriter) GetHost().MessageBox(kNoWriterForFormat, "", kMbOk | kMbIconWarning);
  } catch (const FileError&) {
    GetHost().MessageBox(FileSaveErrorMessage(path->toStdString()), "", kMbOk | kMbIconWarning);
  }
}

void DocumentCommands::SetCloneSource() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  WaitCursor wait;
  try {
    if (WriteCloneSource(*canvas) != 0) return;
  } catch (const FileError& error) {
    GetHost().MessageBox(FileSaveErrorMessage(error.Path()), "", kMbOk | kMbIconWarning);
    return;
  }
  // A brush already painting in clone colour takes the new source at once.
  BrushToolSettings& settings = ProgramBrushSettings();
  if (settings.cloneColour) {
    settings.SetCloneColour(true);
    RebuildProgramBrush();
  }
  emit toolStateChanged();
}

void DocumentCommands::EmptyQuickSaves() { EmptyQuickSaveFolder(); }

void DocumentCommands::DrawPoint() {
  Canvas* canvas = ActiveCanvas();
  BrushEngine* brush = ProgramBrush();
  if (canvas == nullptr || brush == nullptr) return;
  DrawPointOnCanvas(*canvas, *brush);
  ShowChanges(false);
}

void DocumentCommands::ShowStatistics() {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  WaitCursor wait;
  if (const auto statistics = ComputeStatistics(*canvas))
    GetHost().MessageBox(StatisticsText(*statistics), "画像統計情報", kMbOk | kMbIconInformation);
}

void DocumentCommands::SelectionShape(int id) {
  ProgramSelectionSettings().shape = std::clamp(id - cmd::kSelectionShapeFirst, 0, kSelectionShapeCount - 1);
  if (selectTool) selectTool(kSelectionToolSlot);
  emit toolStateChanged();
}

void DocumentCommands::SelectionMode(int id) {
  ProgramSelectionSettings().mode = std::clamp(id - cmd::kSelectionModeFirst, 0, kSelectionModeCount - 1);
  if (selectTool) selectTool(kSelectionToolSlot);
  emit toolStateChanged();
}

void DocumentCommands::SelectionCommand(int id) {
  Canvas* canvas = ActiveCanvas();
  if (canvas == nullptr) return;
  const bool undoable = ProgramSelectionSettings().history;
  switch (id) {
    case cmd::kSelectionMoveNumeric: {
      const auto values = AskValues(m_owner, "移動(数値入力)", {{"X", 0, -65535, 65535}, {"Y", 0, -65535, 65535}});
      if (!values) return;
      MoveSelection(*canvas, (*values)[0], (*values)[1], undoable);
      break;
    }
    case cmd::kSelectionRotateNumeric: {
      const auto values = AskValues(m_owner, "回転(数値入力)", {{"角度", 0, -360, 360}});
      if (!values) return;
      RotateSelection(*canvas, (*values)[0], undoable);
      break;
    }
    case cmd::kSelectionFlipHorizontal:
      FlipSelection(*canvas, true, undoable);
      break;
    case cmd::kSelectionFlipVertical:
      FlipSelection(*canvas, false, undoable);
      break;
    case cmd::kSelectionDrop:
      DropSelection(*canvas, undoable);
      break;
    default:
      return;
  }
  ShowChanges(false);
}

void DocumentCommands::ChooseTool(int id) {
  if (selectTool) selectTool(id - cmd::kChooseToolFirst);
}

}  // namespace varnel

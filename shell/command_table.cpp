#include "shell/command_table.h"

#include <iterator>
#include <type_traits>

#include "core/canvas.h"
#include "shell/adjust_dialogs.h"
#include "shell/batch_command.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/effect_dialog.h"
#include "shell/filter_dialog.h"
#include "shell/grid_dialog.h"
#include "shell/main_frame.h"
#include "shell/options_dialog.h"
#include "shell/script_console.h"
#include "shell/transform_dialogs.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "shell/view_rulers.h"
#include "tools/selection_tool.h"

namespace varnel {

const Canvas* CommandContext::ActiveCanvas() const {
  const CVarnelView* view = frame.ActiveView();
  const CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  return doc ? &doc->GetCanvas() : nullptr;
}

namespace {

using Kind = CommandRow::Kind;

// Handlers: a method of the document commands or of the main frame, with the command's id when
// it serves a family of commands.
template <auto kMethod>
void Doc(CommandContext& context, int id) {
  if constexpr (std::is_invocable_v<decltype(kMethod), DocumentCommands&, int>)
    (context.commands.*kMethod)(id);
  else
    (context.commands.*kMethod)();
}

template <auto kMethod>
void Frame(CommandContext& context, int) {
  (context.frame.*kMethod)();
}

// Enabled rules.
bool HasPicture(const CommandContext& context, int) { return context.ActiveCanvas() != nullptr; }
// Tools without settings (the line, the ellipses, the ruler …) have no state to save.
bool ToolKeepsState(const CommandContext& context, int) { return context.commands.ToolInUse() != nullptr; }

bool HasActiveLayer(const CommandContext& context, int) {
  const Canvas* canvas = context.ActiveCanvas();
  return canvas != nullptr && canvas->ActiveLayer() != nullptr;
}

// Commands that work on the selection wait for one.
bool HasSelection(const CommandContext& context, int) {
  const Canvas* canvas = context.ActiveCanvas();
  return canvas != nullptr && canvas->Selection() != nullptr;
}

// Checked rules.
bool InMaskEditMode(const CommandContext& context, int) {
  const Canvas* canvas = context.ActiveCanvas();
  return canvas != nullptr && canvas->MaskImage() != nullptr;
}

bool InImageEditMode(const CommandContext& context, int) {
  const Canvas* canvas = context.ActiveCanvas();
  return canvas != nullptr && canvas->MaskImage() == nullptr;
}

bool FitsWindow(const CommandContext& context, int) {
  const CVarnelView* view = context.frame.ActiveView();
  return view != nullptr && view->IsFitToWindow();
}

bool StatusBarShown(const CommandContext& context, int) { return context.frame.IsStatusBarShown(); }

bool FilterDialogShown(const CommandContext& context, int) { return IsFilterDialogShown(context.frame); }

void RunFilterDialog(CommandContext& context, int) { ToggleFilterDialog(context.frame, context.app.GetProfile()); }

bool IsRegionViewMode(const CommandContext& context, int id) {
  const int mode = context.app.Settings().regionViewMode;
  return mode >= 0 && mode < static_cast<int>(std::size(kRegionViewCommands)) && kRegionViewCommands[mode] == id;
}

constexpr CommandRow Menu(const char* title, const char* objectName = "") {
  return {.kind = Kind::kMenu, .label = title, .objectName = objectName};
}
constexpr CommandRow End() { return {.kind = Kind::kEnd}; }
constexpr CommandRow Separator() { return {.kind = Kind::kSeparator}; }
constexpr CommandRow Place(MenuPlace place) { return {.kind = Kind::kPlace, .id = static_cast<int>(place)}; }
constexpr CommandRow Item(int id, const char* label, CommandHandler run, CommandRule enabled = HasPicture) {
  return {.kind = Kind::kCommand, .id = id, .label = label, .run = run, .enabled = enabled};
}
// A command whose work has not arrived: present so the menus keep their shape, disabled.
constexpr CommandRow Coming(int id, const char* label) { return {.kind = Kind::kCommand, .id = id, .label = label}; }

// Exclusive check groups.
enum Group { kNoGroup, kRegionViewGroup, kEditModeGroup, kSelectionShapeGroup, kSelectionModeGroup };

bool IsSelectionShape(const CommandContext&, int id) {
  return ProgramSelectionSettings().shape == id - cmd::kSelectionShapeFirst;
}
bool IsSelectionMode(const CommandContext&, int id) {
  return ProgramSelectionSettings().mode == id - cmd::kSelectionModeFirst;
}

const CommandRow kRows[] = {
    Menu("ファイル(&F)", "FileMenu"),
    Item(cmd::kFileNew, "新規作成(&N)\tCtrl+N", Frame<&CMainFrame::OnFileNew>, nullptr),
    Item(cmd::kFileOpen, "開く(&O)...\tCtrl+O", Doc<&DocumentCommands::Open>, nullptr),
    Item(cmd::kFileClose, "閉じる(&C)", Frame<&CMainFrame::OnFileClose>, nullptr),
    Item(cmd::kFileSave, "上書き保存(&S)\tCtrl+S", Doc<&DocumentCommands::Save>),
    Item(cmd::kFileSaveAs, "名前を付けて保存(&A)...", Doc<&DocumentCommands::SaveAs>),
    Item(cmd::kQuickSave, "クイックセーブ(&Q)\tCtrl+W", Doc<&DocumentCommands::QuickSave>),
    Item(cmd::kEmptyQuickSaveFolder, "クイックセーブディレクトリを空にする(&Q)", Doc<&DocumentCommands::EmptyQuickSaves>,
         nullptr),
    Separator(),
    Item(cmd::kLoadLayers, "レイヤ読み込み(&L)", Doc<&DocumentCommands::LoadLayers>),
    Item(cmd::kSaveActiveLayer, "アクティブなレイヤを保存(&S)", Doc<&DocumentCommands::SaveActiveLayer>),
    Item(cmd::kSave256Colours, "256色で保存", Doc<&DocumentCommands::Save256Colours>),
    Separator(),
    Item(cmd::kSaveToolState, "ツール状態の保存(&T)", Doc<&DocumentCommands::SaveToolState>, ToolKeepsState),
    Item(cmd::kLoadToolState, "ツール状態の読み込み(&N)", Doc<&DocumentCommands::LoadToolState>, nullptr),
    Separator(),
    Place(MenuPlace::kRecentFiles),
    Separator(),
    Item(cmd::kAppExit, "アプリケーションの終了(&X)", Frame<&CMainFrame::OnAppExit>, nullptr),
    End(),

    Menu("編集(&E)", "EditMenu"),
    Item(cmd::kEditUndo, "アンドゥ(&U)\tCtrl+Z", Doc<&DocumentCommands::Undo>),
    Item(cmd::kEditRedo, "リドゥ(&R)\tCtrl+R", Doc<&DocumentCommands::Redo>),
    Item(cmd::kClearUndoBuffer, "アンドゥバッファを空にする(&E)", Doc<&DocumentCommands::ClearUndoBuffer>),
    Separator(),
    Item(cmd::kEditCut, "切り取り(&T)\tCtrl+X", Doc<&DocumentCommands::ClipboardCommand>),
    Item(cmd::kEditCopy, "ｺﾋﾟｰ(&C)\tCtrl+C", Doc<&DocumentCommands::ClipboardCommand>),
    Item(cmd::kCopyAsBitmap, "ビットマップとしてコピー(&B)", Doc<&DocumentCommands::ClipboardCommand>),
    Item(cmd::kCopyDisplaySurface, "表示サーフェイスのコピー(&S)", Doc<&DocumentCommands::ClipboardCommand>),
    // The label carries no shortcut, but a painter reaches for Ctrl+V.
    Item(cmd::kPasteAsLayer, "レイヤとして追加(&L)", Doc<&DocumentCommands::ClipboardCommand>, HasActiveLayer)
        .Keys("Ctrl+V"),
    End(),

    Menu("領域(&R)", "RegionMenu"),
    Item(cmd::kSelectAll, "全体を選択(&A)\tCtrl+A", Doc<&DocumentCommands::RegionCommand>),
    Item(cmd::kSelectNone, "選択を解除(&E)\tCtrl+Q", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Item(cmd::kInvertSelection, "選択の反転(&R)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Separator(),
    Item(cmd::kSelectionToLayer, "選択範囲をレイヤ化(&B)", Doc<&DocumentCommands::RegionCommand>),
    Item(cmd::kAlphaToRegion, "アルファチャンネルを領域に変換(&S)", Doc<&DocumentCommands::RegionCommand>),
    Item(cmd::kRegionToAlpha, "領域->アルファチャンネル変換", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Separator(),
    Item(cmd::kGrowSelection, "選択領域の膨張(&O)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Item(cmd::kShrinkSelection, "選択領域の収縮(&X)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Item(cmd::kFeatherSelection, "選択領域をぼかす(&G)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Separator(),
    Item(cmd::kSaveSelection, "選択領域の保存(&W)", Doc<&DocumentCommands::SaveSelection>, HasSelection),
    Item(cmd::kLoadSelection, "選択領域の読み込み(&L)", Doc<&DocumentCommands::LoadSelection>),
    Item(cmd::kFillSelection, "選択領域を塗りつぶし(&F)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Separator(),
    Menu("選択ツール", "SelectionToolMenu"),
    Menu("選択形状", "SelectionShapeMenu"),
    Item(cmd::kSelectionShapeFirst + 0, "四角形選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 1, "多角形選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 2, "楕円選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 3, "自由選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 4, "塗りつぶし選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 5, "ファジー選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    Item(cmd::kSelectionShapeFirst + 6, "色域選択", Doc<&DocumentCommands::SelectionShape>, nullptr)
        .Checked(IsSelectionShape, kSelectionShapeGroup),
    End(),
    Menu("モード", "SelectionModeMenu"),
    Item(cmd::kSelectionModeFirst + 0, "新規", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    Item(cmd::kSelectionModeFirst + 1, "追加", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    Item(cmd::kSelectionModeFirst + 2, "削除", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    Item(cmd::kSelectionModeFirst + 3, "移動", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    Item(cmd::kSelectionModeFirst + 4, "回転", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    Item(cmd::kSelectionModeFirst + 5, "拡大・縮小", Doc<&DocumentCommands::SelectionMode>, nullptr)
        .Checked(IsSelectionMode, kSelectionModeGroup),
    End(),
    Separator(),
    Item(cmd::kSelectionMoveNumeric, "移動(数値入力)", Doc<&DocumentCommands::SelectionCommand>, HasSelection),
    Item(cmd::kSelectionRotateNumeric, "回転(数値入力)", Doc<&DocumentCommands::SelectionCommand>, HasSelection),
    Item(cmd::kSelectionFlipHorizontal, "左右反転", Doc<&DocumentCommands::SelectionCommand>, HasSelection),
    Item(cmd::kSelectionFlipVertical, "上下反転", Doc<&DocumentCommands::SelectionCommand>, HasSelection),
    Item(cmd::kSelectionDrop, "領域の解除", Doc<&DocumentCommands::SelectionCommand>, HasSelection),
    End(),
    Separator(),
    Menu("領域外表示", "RegionViewMenu"),
    Item(cmd::kRegionViewNone, "なし", Doc<&DocumentCommands::RegionViewCommand>).Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewInverted, "反転表示", Doc<&DocumentCommands::RegionViewCommand>)
        .Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewBlack, "黒", Doc<&DocumentCommands::RegionViewCommand>).Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewChecker, "チェック", Doc<&DocumentCommands::RegionViewCommand>)
        .Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewWhite, "白", Doc<&DocumentCommands::RegionViewCommand>).Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewDarker, "暗く", Doc<&DocumentCommands::RegionViewCommand>).Checked(IsRegionViewMode, kRegionViewGroup),
    Item(cmd::kRegionViewBrighter, "明るく", Doc<&DocumentCommands::RegionViewCommand>)
        .Checked(IsRegionViewMode, kRegionViewGroup),
    End(),
    End(),

    Menu("画像(&I)", "ImageMenu"),
    Item(cmd::kRotateFree, "画像の任意回転(&R)", RunTransformCommand, HasActiveLayer),
    Item(cmd::kRotateToLine, "直線にあわせて回転(&P)", RunTransformCommand, HasActiveLayer),
    Menu("画像のサイズ変更(&S)"),
    Item(cmd::kResizeActiveLayer, "アクティブなレイヤのみに適用", RunTransformCommand, HasActiveLayer),
    Item(cmd::kResizeAllLayers, "すべてのレイヤに適用", RunTransformCommand, HasActiveLayer),
    End(),
    Menu("回転・反転"),
    Item(cmd::kTurnRight, "右90度回転", RunTransformCommand, HasActiveLayer),
    Item(cmd::kTurnLeft, "左90度回転", RunTransformCommand, HasActiveLayer),
    Item(cmd::kFlipVertical, "上下反転", RunTransformCommand, HasActiveLayer),
    Item(cmd::kFlipHorizontal, "左右反転", RunTransformCommand, HasActiveLayer),
    End(),
    Separator(),
    Item(cmd::kCanvasSize, "キャンバスのサイズ変更(&C)", Doc<&DocumentCommands::CanvasSize>),
    Item(cmd::kAddMargin, "余白追加(&M)", Doc<&DocumentCommands::AddMargin>),
    Separator(),
    Item(cmd::kColourCurves, "色調補正(&C)", RunAdjustment, HasActiveLayer),
    Item(cmd::kBrightnessContrast, "明度・コントラスト調整(&V)", RunAdjustment, HasActiveLayer),
    Item(cmd::kToneBalance, "トーンバランス(&T)", RunAdjustment, HasActiveLayer),
    Item(cmd::kRgbaAdjust, "RGBA値操作(&R)", RunAdjustment, HasActiveLayer),
    Item(cmd::kFilterDialog, "フィルタ/効果(&F)\tCtrl+F", RunFilterDialog, nullptr).Checked(FilterDialogShown),
    Item(cmd::kFilterBatch, "フィルタバッチ処理", RunFilterBatch, HasActiveLayer),
    Item(cmd::kEffectDialog, "アニメーション効果...", RunEffectDialog, HasActiveLayer),
    Item(cmd::kScript, "Script(&S)", RunScriptConsole, nullptr),
    Separator(),
    Menu("チャンネル", "ChannelMenu"),
    // The channel-to-layer commands have tool tips but no labels of their own; the menu shows
    // the tips.
    Item(cmd::kRedToLayer, "赤色のみをレイヤ化", Doc<&DocumentCommands::ChannelCommand>).Tip("赤色のみをレイヤ化"),
    Item(cmd::kRedToLayer + 1, "緑色のみをレイヤ化", Doc<&DocumentCommands::ChannelCommand>).Tip("緑色のみをレイヤ化"),
    Item(cmd::kRedToLayer + 2, "青色のみをレイヤ化", Doc<&DocumentCommands::ChannelCommand>).Tip("青色のみをレイヤ化"),
    Item(cmd::kRedToLayer + 3, "アルファチャンネルをレイヤ化", Doc<&DocumentCommands::ChannelCommand>)
        .Tip("アルファチャンネルをレイヤ化"),
    Menu("削除"),
    Item(cmd::kClearRed, "赤", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kClearRed + 1, "緑", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kClearRed + 2, "青", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kClearRed + 3, "アルファ(不透明度)", Doc<&DocumentCommands::ChannelCommand>),
    End(),
    Menu("反転"),
    Item(cmd::kInvertRed, "赤", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kInvertGreen, "緑", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kInvertBlue, "青", Doc<&DocumentCommands::ChannelCommand>),
    Item(cmd::kInvertAlpha, "アルファ", Doc<&DocumentCommands::ChannelCommand>),
    End(),
    Item(cmd::kUnifyAlpha, "アルファチャンネルの統一(&A)", Doc<&DocumentCommands::ChannelCommand>),
    End(),
    Separator(),
    Item(cmd::kPictureInfo, "画像情報(&I)", ShowPictureInformation, HasActiveLayer),
    Item(cmd::kPictureStatistics, "画像統計情報", Doc<&DocumentCommands::ShowStatistics>),
    Item(cmd::kExtractPalette, "パレット抽出(&P)", Doc<&DocumentCommands::ExtractPalette>),
    End(),

    Menu("レイヤ(&L)", "LayerMenu"),
    Item(cmd::kNewLayer, "新規レイヤ(&N)\tCtrl+L", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kDuplicateLayer, "アクティブレイヤの複製(&P)", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kDeleteLayer, "レイヤの削除&D)", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kLayerUp, "アクティブレイヤを上へ(&U)\tShift + ↑", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kLayerDown, "アクティブレイヤを下へ(&D)\tShift + ↓", Doc<&DocumentCommands::LayerCommand>),
    Separator(),
    Item(cmd::kMergeDown, "下のレイヤと結合", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kMergeWithBase, "ベースレイヤと結合", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kMergeIntoNewDocument, "新規ドキュメントとして結合", Doc<&DocumentCommands::LayerCommand>),
    Item(cmd::kMergeAll, "すべてのレイヤを結合(&M)", Doc<&DocumentCommands::LayerCommand>),
    Separator(),
    Item(cmd::kImageEditMode, "画像編集モード(&G)", Doc<&DocumentCommands::ImageEditMode>, HasActiveLayer)
        .Checked(InImageEditMode, kEditModeGroup),
    Item(cmd::kMaskEditMode, "マスク編集モード(&M)", Doc<&DocumentCommands::MaskEditMode>, HasActiveLayer)
        .Checked(InMaskEditMode, kEditModeGroup),
    Item(cmd::kSelectionToMask, "領域をレイヤマスクに追加(&A)", Doc<&DocumentCommands::RegionCommand>, HasSelection),
    Separator(),
    Item(cmd::kCloneSource, "アクティブレイヤをクローンソースに(&A)", Doc<&DocumentCommands::SetCloneSource>),
    End(),

    Menu("ツール(&T)", "ToolMenu"),
    Place(MenuPlace::kBrushKinds),
    Item(cmd::kBrushSizeUp, "ブラシサイズ+4", Frame<&CMainFrame::OnBrushSizeUp>, nullptr).Keys("]"),
    Item(cmd::kBrushSizeDown, "ブラシサイズ-4", Frame<&CMainFrame::OnBrushSizeDown>, nullptr).Keys("["),
    Item(cmd::kDrawPoint, "現在のブラシで点を描く", Doc<&DocumentCommands::DrawPoint>),
    Item(cmd::kCustomBrushPanel, "カスタムブラシ設定...", Frame<&CMainFrame::OnCustomBrushPanel>, nullptr),
    Item(cmd::kOptions, "オプション(&O)...", RunOptionsDialog, nullptr),
    Separator(),
    Item(cmd::kChooseToolFirst + 0, "領域選択\tM", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 1, "ブラシ\tB", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 2, "消しゴム\tE", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 3, "スポイト\tI", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 4, "直線\tL", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 6, "文字描画\tT", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 13, "閉領域塗りつぶし\tG", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 15, "レイヤ移動\tV", Doc<&DocumentCommands::ChooseTool>),
    Item(cmd::kChooseToolFirst + 19, "ズーム\tZ", Doc<&DocumentCommands::ChooseTool>),
    End(),

    Menu("表示(&V)", "ViewMenu"),
    Item(cmd::kFitToWindow, "ウインドウの大きさに一致", Frame<&CMainFrame::OnFitToWindow>, nullptr).Checked(FitsWindow),
    Item(cmd::kScrollUp, "上へスクロール\tCtrl+Up", Frame<&CMainFrame::OnScrollUp>, nullptr),
    Item(cmd::kScrollDown, "下へスクロール\tCtrl+Down", Frame<&CMainFrame::OnScrollDown>, nullptr),
    Item(cmd::kScrollLeft, "左へスクロール\tCtrl+Left", Frame<&CMainFrame::OnScrollLeft>, nullptr),
    Item(cmd::kScrollRight, "右へスクロール\tCtrl+Right", Frame<&CMainFrame::OnScrollRight>, nullptr),
    Separator(),
    Item(cmd::kRulers, "ルーラー", ToggleRulers, nullptr).Checked(RulersShown),
    Item(cmd::kGrid, "グリッド", RunGridCommand).Checked(IsGridCommandChecked),
    Item(cmd::kGridSnap, "入力位置をそろえる", RunGridCommand).Checked(IsGridCommandChecked),
    Item(cmd::kGridSettings, "グリッドの設定", RunGridCommand),
    Separator(),
    Item(cmd::kViewStatusBar, "ステータス バー(&S)", Frame<&CMainFrame::OnViewStatusBar>, nullptr).Checked(StatusBarShown),
    Place(MenuPlace::kConsoleToggle),
    Place(MenuPlace::kMessageLevels),
    End(),

    Menu("ウィンドウ(&W)", "WindowMenu"),
    Item(cmd::kWindowCascade, "重ねて表示(&C)", Frame<&CMainFrame::OnWindowCascade>, nullptr),
    Item(cmd::kWindowTileHorz, "並べて表示(&T)", Frame<&CMainFrame::OnWindowTile>, nullptr),
    Place(MenuPlace::kWindowList),
    End(),

    Menu("ヘルプ(&H)", "HelpMenu"),
    Item(cmd::kAppAbout, "バージョン情報(&A)...", Frame<&CMainFrame::OnAppAbout>, nullptr),
    End(),
};

}  // namespace

std::span<const CommandRow> CommandTable() { return kRows; }

const CommandRow* FindCommand(int id) {
  for (const CommandRow& row : kRows)
    if (row.kind == Kind::kCommand && row.id == id) return &row;
  return nullptr;
}

std::string CommandText(int id) {
  const CommandRow* row = FindCommand(id);
  if (row == nullptr) return {};
  std::string text = row->label;
  text = text.substr(0, text.find('\t'));
  // The mnemonic: "(&X)" goes whole; a lone "&X)" too (a label of the table lacks its "(").
  if (const size_t amp = text.find('&'); amp != std::string::npos) {
    size_t from = amp > 0 && text[amp - 1] == '(' ? amp - 1 : amp;
    const size_t close = text.find(')', amp);
    text.erase(from, close == std::string::npos ? std::string::npos : close - from + 1);
  }
  return text;
}

std::string LabelShortcut(const char* label) {
  const std::string text = label;
  const size_t tab = text.find('\t');
  if (tab == std::string::npos) return {};
  std::string keys;
  // "↑" and "↓" are three bytes each in UTF-8; Qt names the keys Up and Down, without spaces.
  for (size_t i = tab + 1; i < text.size();) {
    if (text.compare(i, 3, "↑") == 0) {
      keys += "Up";
      i += 3;
    } else if (text.compare(i, 3, "↓") == 0) {
      keys += "Down";
      i += 3;
    } else {
      if (text[i] != ' ') keys += text[i];
      ++i;
    }
  }
  return keys;
}

}  // namespace varnel

#pragma once
// Menu command identifiers. The framework's standard commands keep their usual numbers so
// that the program's command table stays as designed.

namespace varnel::cmd {

// File.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFileMruFile1 = 57616;
inline constexpr int kQuickSave = 32959;
inline constexpr int kEmptyQuickSaveFolder = 32960;
inline constexpr int kLoadLayers = 32876;
inline constexpr int kSaveActiveLayer = 32931;
inline constexpr int kSave256Colours = 33141;
inline constexpr int kSaveToolState = 33041;
inline constexpr int kLoadToolState = 33043;

// Edit.
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditRedo = 57644;
inline constexpr int kClearUndoBuffer = 32891;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditCopy = 57634;
inline constexpr int kCopyAsBitmap = 32940;
inline constexpr int kCopyDisplaySurface = 32982;
inline constexpr int kPasteAsLayer = 33098;

// Region.
inline constexpr int kSelectAll = 32905;
inline constexpr int kSelectNone = 32939;
inline constexpr int kInvertSelection = 33018;
inline constexpr int kSelectionToLayer = 32902;
inline constexpr int kAlphaToRegion = 32930;
inline constexpr int kRegionToAlpha = 33062;
inline constexpr int kGrowSelection = 32976;
inline constexpr int kShrinkSelection = 32975;
inline constexpr int kFeatherSelection = 32983;
inline constexpr int kSaveSelection = 32862;
inline constexpr int kLoadSelection = 32861;
inline constexpr int kFillSelection = 32802;
// "領域外表示": none, inverted, black, checker, white, darker, brighter.
inline constexpr int kRegionViewNone = 33104;
inline constexpr int kRegionViewInverted = 33103;
inline constexpr int kRegionViewBlack = 33105;
inline constexpr int kRegionViewChecker = 33106;
inline constexpr int kRegionViewWhite = 33107;
inline constexpr int kRegionViewDarker = 33108;
inline constexpr int kRegionViewBrighter = 33109;

// Image.
inline constexpr int kRedToLayer = 32942;  // … 32945 alpha
inline constexpr int kClearRed = 32946;    // … 32949 alpha
inline constexpr int kInvertRed = 32951;   // 32952 green, 32954 blue, 32955 alpha
inline constexpr int kInvertGreen = 32952;
inline constexpr int kInvertBlue = 32954;
inline constexpr int kInvertAlpha = 32955;
inline constexpr int kUnifyAlpha = 32938;
inline constexpr int kRotateFree = 32829;
inline constexpr int kRotateToLine = 33073;
inline constexpr int kResizeActiveLayer = 33037;
inline constexpr int kResizeAllLayers = 33038;
inline constexpr int kTurnRight = 33183;
inline constexpr int kTurnLeft = 33184;
inline constexpr int kFlipVertical = 33187;
inline constexpr int kFlipHorizontal = 33186;
inline constexpr int kCanvasSize = 33028;
inline constexpr int kAddMargin = 33070;
inline constexpr int kColourCurves = 32890;
inline constexpr int kBrightnessContrast = 33064;
inline constexpr int kToneBalance = 33143;
inline constexpr int kRgbaAdjust = 33083;
inline constexpr int kFilterBatch = 33031;
inline constexpr int kScript = 33096;
inline constexpr int kPictureInfo = 32889;
inline constexpr int kPictureStatistics = 33210;
inline constexpr int kExtractPalette = 33144;

// Layer.
inline constexpr int kDuplicateLayer = 33086;
inline constexpr int kDeleteLayer = 32911;
inline constexpr int kLayerUp = 33087;
inline constexpr int kLayerDown = 33088;
inline constexpr int kNewLayer = 33188;
inline constexpr int kImageEditMode = 33092;
inline constexpr int kMaskEditMode = 33093;
inline constexpr int kSelectionToMask = 33094;
inline constexpr int kCloneSource = 33097;
// Commands the command table leaves without a number get theirs from this free range.
inline constexpr int kMergeDown = 33300;
inline constexpr int kMergeWithBase = 33301;
inline constexpr int kMergeIntoNewDocument = 33302;
inline constexpr int kMergeAll = 33303;

// View and tools.
inline constexpr int kFitToWindow = 33310;
inline constexpr int kScrollUp = 33311;
inline constexpr int kScrollDown = 33312;
inline constexpr int kScrollLeft = 33313;
inline constexpr int kScrollRight = 33314;
// The view's rulers and grid.
inline constexpr int kRulers = 33315;
inline constexpr int kGrid = 33316;
inline constexpr int kGridSettings = 33317;
inline constexpr int kGridSnap = 33318;
inline constexpr int kBrushSizeUp = 33320;
inline constexpr int kBrushSizeDown = 33321;
inline constexpr int kDrawPoint = 33322;
inline constexpr int kCustomBrushPanel = 33323;
inline constexpr int kFilterDialog = 33324;  // shows or hides the modeless filter dialog

// The selection tool: its shapes and modes (first + number) and its commands.
inline constexpr int kSelectionShapeFirst = 33330;
inline constexpr int kSelectionModeFirst = 33340;
inline constexpr int kSelectionMoveNumeric = 33350;
inline constexpr int kSelectionRotateNumeric = 33351;
inline constexpr int kSelectionFlipHorizontal = 33352;
inline constexpr int kSelectionFlipVertical = 33353;
inline constexpr int kSelectionDrop = 33354;
// Choosing a tool from the keyboard: first + the tool's slot.
inline constexpr int kChooseToolFirst = 33360;
// 画像 → アニメーション効果: the effect dialog (after the twenty tool slots above).
inline constexpr int kEffectDialog = 33380;

// Window and application.
inline constexpr int kWindowNew = 57648;
inline constexpr int kWindowArrange = 57649;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTileHorz = 57651;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kViewStatusBar = 59393;

}  // namespace varnel::cmd

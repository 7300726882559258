#pragma once
// Menu command identifiers. The framework's standard commands keep their usual numbers so
// that the program's command table stays as designed.

namespace varnel::cmd {

inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileMruFile1 = 57616;
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditRedo = 57644;
inline constexpr int kQuickSave = 32959;
inline constexpr int kWindowNew = 57648;
inline constexpr int kWindowArrange = 57649;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTileHorz = 57651;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kViewStatusBar = 59393;

}  // namespace varnel::cmd

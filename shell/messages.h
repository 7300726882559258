#pragma once
// The program's own texts shown to the user by the shell.

#include <string>
#include <string_view>

#include "platform/colour.h"

namespace varnel {

inline constexpr const char* kMsgOleInitFailed = "OLEの初期化に失敗しました";
inline constexpr const char* kMsgMainFrameLoadFailed = "MainFrameのロードに失敗しました";
inline constexpr const char* kMsgShellCommandFailed = "シェルコマンドの処理に失敗しました";
// Diagnostic of the first copy when a later start without a file asks to see it.
inline constexpr const char* kMsgShownForAnotherStart = "二重起動: ウィンドウを前面に表示";
inline constexpr const char* kMsgInitialised = "初期化終了";
inline constexpr const char* kMsgCannotReadPicture = "画像が読み込めません";
inline constexpr const char* kMsgUnknownException =
    "不明な例外を捕捉しました。作業中のデータを保存してアプリケーションを終了することを推奨します。";

inline constexpr ColourRef kInitialisedColour = MakeColourRef(0x28, 0x28, 0x28);
inline constexpr int kInitialisedLevel = 5;

// The framework's message for a file it cannot open.
inline std::string FileOpenErrorMessage(std::string_view path) {
  return std::string(path) + " を開けません。";
}

// The framework's message for a file it cannot write.
inline std::string FileSaveErrorMessage(std::string_view path) {
  return std::string(path) + " を保存できません。";
}

}  // namespace varnel

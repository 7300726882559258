#include "shell/tool_icons.h"

#include <array>

#include "core/canvas.h"

// The icons live in the static shell library; the linker keeps their resource initialiser only
// when something refers to it, and Q_INIT_RESOURCE must be called outside any namespace.
static void InitToolIconResources() { Q_INIT_RESOURCE(tool_icons); }

namespace varnel {
namespace {

// The icon file of each tool slot, in slot order (icons/tool_icons.qrc lists the same files).
constexpr std::array<const char*, 20> kToolIconFiles = {{
    "tool-select.svg",            // 0 領域を選択
    "tool-brush.svg",             // 1 ブラシで描画
    "tool-eraser.svg",            // 2 消しゴム
    "tool-eyedropper.svg",        // 3 選択された場所の色を取得
    "tool-line.svg",              // 4 直線を描画
    "tool-curve.svg",             // 5 曲線を描画
    "tool-text.svg",              // 6 文字を描画
    "tool-rectangle.svg",         // 7 四角形を描画
    "tool-filled-rectangle.svg",  // 8 塗りつぶし四角形を描画
    "tool-ellipse.svg",           // 9 楕円を描画
    "tool-filled-ellipse.svg",    // 10 塗りつぶし楕円を描画
    "tool-polygon.svg",           // 11 多角形を描画
    "tool-filled-polygon.svg",    // 12 塗りつぶし多角形を描画
    "tool-fill.svg",              // 13 閉領域を塗りつぶす
    "tool-stamp.svg",             // 14 スタンプ
    "tool-layer-move.svg",        // 15 選択されたレイヤを移動
    "tool-gradient.svg",          // 16 グラデーションを描画
    "tool-ruler.svg",             // 17 定規を描画
    "tool-coordinates.svg",       // 18 座標を表示
    "tool-zoom.svg",              // 19 the zoom tool, which has no palette button
}};
static_assert(kToolIconFiles.size() == Canvas::kToolSlots, "one icon per canvas tool slot");

}  // namespace

QString ToolIconPath(int32_t slot) {
  [[maybe_unused]] static const bool resourcesReady = (InitToolIconResources(), true);
  if (slot < 0 || slot >= static_cast<int32_t>(kToolIconFiles.size())) return {};
  return QStringLiteral(":/icons/") + QLatin1String(kToolIconFiles[static_cast<size_t>(slot)]);
}

QIcon ToolIcon(int32_t slot) {
  const QString path = ToolIconPath(slot);
  if (path.isEmpty()) return {};
  return QIcon(path);
}

}  // namespace varnel

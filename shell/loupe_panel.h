#pragma once
// The loupe panel of the 表示 menu: a tool window holding the Zoomlet component, created on
// first use from Ext/Zoomlet.so. The panel opens at LOUPEUIXPOS/LOUPEUIYPOS and stores where
// it was left.

#include <string>

#include "shell/component_panel.h"

namespace varnel {

inline constexpr const char* kLoupeTitle = "ルーペ";
inline constexpr const char* kLoupeLibraryName = "Ext/Zoomlet.so";
inline constexpr const char* kLoupeXPosKey = "LOUPEUIXPOS";
inline constexpr const char* kLoupeYPosKey = "LOUPEUIYPOS";

class LoupePanel : public ComponentPanel {
  Q_OBJECT

 public:
  // An empty libraryPath means the program's Ext/Zoomlet.so.
  LoupePanel(Profile& profile, QWidget* parent, std::string libraryPath = {});
};

}  // namespace varnel

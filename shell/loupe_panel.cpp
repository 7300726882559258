#include "shell/loupe_panel.h"

#include <utility>

#include "zoomlet/zoomlet.h"

namespace varnel {

namespace {
constexpr ComponentPanelInfo kLoupeInfo{kLoupeTitle,        kLoupeLibraryName, ZOOMLET_PROG_ID, ZOOMLET_WINDOW_NAME,
                                        kLoupeXPosKey, kLoupeYPosKey};
}  // namespace

LoupePanel::LoupePanel(Profile& profile, QWidget* parent, std::string libraryPath)
    : ComponentPanel(profile, parent, kLoupeInfo, std::move(libraryPath)) {}

}  // namespace varnel

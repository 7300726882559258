#pragma once
// The loupe panel of the 表示 menu: a tool window holding the Zoomlet component, created on
// first use from Ext/Zoomlet.so (registered, unloaded, then created by its identifier). The
// panel opens at LOUPEUIXPOS/LOUPEUIYPOS and stores where it was left.

#include <QTimer>
#include <QWidget>
#include <string>

#include "platform/dynamic_library.h"

namespace varnel {

class Profile;

inline constexpr const char* kLoupeTitle = "ルーペ";
inline constexpr const char* kLoupeLibraryName = "Ext/Zoomlet.so";
inline constexpr const char* kLoupeXPosKey = "LOUPEUIXPOS";
inline constexpr const char* kLoupeYPosKey = "LOUPEUIYPOS";
inline constexpr const char* kMsgControlNotCreated = "コントロールが作成できません";

// Loads libraryPath, calls its DllRegisterServer and frees it; then loads the file the
// profile's Components section names for progId into library and creates the control there
// with windowName under parent. Null (library left closed) when any step fails.
QWidget* CreateComponent(const std::string& libraryPath, const std::string& profilePath, const char* progId,
                         const char* windowName, QWidget* parent, DynamicLibrary& library);

class LoupePanel : public QWidget {
  Q_OBJECT

 public:
  // An empty libraryPath means the program's Ext/Zoomlet.so.
  LoupePanel(Profile& profile, QWidget* parent, std::string libraryPath = {});
  ~LoupePanel() override;

  // Creates the control when this is the first use; false when it cannot be (told once).
  bool EnsureControl();
  QWidget* Control() const { return m_control; }
  // Shows the panel at its stored place (creating the control first), or hides it.
  void SetShown(bool shown);

 protected:
  void hideEvent(QHideEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void StorePosition();

  Profile& m_profile;
  std::string m_libraryPath;
  DynamicLibrary m_library;
  QWidget* m_control = nullptr;
  bool m_tried = false;
  bool m_placed = false;
  // A drag moves the window many times; the place is written once it rests.
  QTimer m_storeTimer;
};

}  // namespace varnel

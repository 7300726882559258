#pragma once
// A tool window holding a component control (the loupe, the network sharing panel): the
// control is created on first use from its library in Ext/ (registered, unloaded, then created
// by its identifier); the panel opens at its stored place and stores where it was left.

#include <QTimer>
#include <QWidget>
#include <string>

#include "platform/dynamic_library.h"

class QBoxLayout;

namespace varnel {

class Profile;

inline constexpr const char* kMsgControlNotCreated = "コントロールが作成できません";

// Loads libraryPath, calls its DllRegisterServer and frees it; then loads the file the
// profile's Components section names for progId into library and creates the control there
// with windowName under parent. Null (library left closed) when any step fails.
QWidget* CreateComponent(const std::string& libraryPath, const std::string& profilePath, const char* progId,
                         const char* windowName, QWidget* parent, DynamicLibrary& library);

struct ComponentPanelInfo {
  const char* title;
  const char* libraryName;  // below the program folder
  const char* progId;
  const char* windowName;
  const char* xKey;  // the stored place
  const char* yKey;
};

class ComponentPanel : public QWidget {
  Q_OBJECT

 public:
  // An empty libraryPath means the info's library in the program folder.
  ComponentPanel(Profile& profile, QWidget* parent, const ComponentPanelInfo& info, std::string libraryPath);
  ~ComponentPanel() override;

  // Creates the control when this is the first use; false when it cannot be (told once).
  bool EnsureControl();
  QWidget* Control() const { return m_control; }
  // Shows the panel at its stored place (creating the control first), or hides it.
  void SetShown(bool shown);

 protected:
  // Called once the control exists, to set it up; the control is already in the layout.
  virtual void ControlCreated(QWidget* /*control*/) {}
  QBoxLayout* Layout() const;
  Profile& GetProfile() const { return m_profile; }
  void hideEvent(QHideEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void StorePosition();

  Profile& m_profile;
  ComponentPanelInfo m_info;
  std::string m_libraryPath;
  DynamicLibrary m_library;
  QWidget* m_control = nullptr;
  bool m_tried = false;
  bool m_placed = false;
  // A drag moves the window many times; the place is written once it rests.
  QTimer m_storeTimer;
};

}  // namespace varnel

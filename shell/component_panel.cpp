#include "shell/component_panel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <utility>

#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "shell/panel_widgets.h"
#include "zoomlet/zoomlet.h"

namespace varnel {

QWidget* CreateComponent(const std::string& libraryPath, const std::string& profilePath, const char* progId,
                         const char* windowName, QWidget* parent, DynamicLibrary& library) {
  // Every component exports the same two functions as the loupe's.
  {
    DynamicLibrary registering;
    if (!registering.Open(libraryPath)) return nullptr;
    const auto registerServer = registering.Function<ZoomletDllRegisterServer>("DllRegisterServer");
    if (registerServer == nullptr || registerServer() != 0) return nullptr;
  }
  const std::string file = Profile(profilePath).GetString(ZOOMLET_COMPONENTS_SECTION, progId, "");
  if (file.empty() || !library.Open(file)) return nullptr;
  const auto create = library.Function<ZoomletCreateControl>("CreateControl");
  QWidget* control = create != nullptr ? static_cast<QWidget*>(create(progId, windowName, parent)) : nullptr;
  if (control == nullptr) library.Close();
  return control;
}

ComponentPanel::ComponentPanel(Profile& profile, QWidget* parent, const ComponentPanelInfo& info,
                               std::string libraryPath)
    : QWidget(parent, Qt::Tool), m_profile(profile), m_info(info), m_libraryPath(std::move(libraryPath)) {
  setWindowTitle(QString::fromUtf8(info.title));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_storeTimer.setSingleShot(true);
  m_storeTimer.setInterval(500);
  connect(&m_storeTimer, &QTimer::timeout, this, &ComponentPanel::StorePosition);
}

ComponentPanel::~ComponentPanel() {
  // The control's code lives in the library: it goes before the library is freed.
  delete m_control;
  m_control = nullptr;
}

QBoxLayout* ComponentPanel::Layout() const { return static_cast<QBoxLayout*>(layout()); }

bool ComponentPanel::EnsureControl() {
  if (m_control != nullptr) return true;
  if (m_tried) return false;
  m_tried = true;
  const std::string path = m_libraryPath.empty() ? ProgramPath(m_info.libraryName) : m_libraryPath;
  m_control = CreateComponent(path, m_profile.Path(), m_info.progId, m_info.windowName, this, m_library);
  if (m_control == nullptr) {
    GetHost().MessageBox(kMsgControlNotCreated, "", kMbOk | kMbIconWarning);
    return false;
  }
  Layout()->addWidget(m_control, 1);
  ControlCreated(m_control);
  resize(sizeHint());
  return true;
}

void ComponentPanel::SetShown(bool shown) {
  if (!shown) {
    hide();
    return;
  }
  if (!EnsureControl()) return;
  if (!m_placed) {
    m_placed = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    move(StoredWindowPosition(m_profile, m_info.xKey, m_info.yKey, available).value_or(QPoint(50, 50)));
  }
  show();
}

void ComponentPanel::StorePosition() {
  if (m_placed) StoreWindowPosition(m_profile, m_info.xKey, m_info.yKey, pos());
}

void ComponentPanel::hideEvent(QHideEvent* event) {
  m_storeTimer.stop();
  StorePosition();
  QWidget::hideEvent(event);
}

void ComponentPanel::moveEvent(QMoveEvent* event) {
  if (isVisible()) m_storeTimer.start();
  QWidget::moveEvent(event);
}

}  // namespace varnel

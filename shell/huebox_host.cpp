#include "shell/huebox_host.h"

#include <utility>

#include "core/surface.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {

std::string HueboxExportMissingMessage(std::string_view exportName) {
  return "Hueboxライブラリに " + std::string(exportName) + " がありません";
}

// ---- ExtensionLibraryOperation ----------------------------------------------------------------

ExtensionLibraryOperation::ExtensionLibraryOperation(const std::string& path, QWidget* mainWindow) {
  if (!m_library.Open(path)) return;
  if (auto createUi = m_library.Function<HueboxCreateUI>("CreateUI")) createUi(mainWindow);
  m_paintMsg = m_library.Function<HueboxPaintMsg>("PaintMsg");
  m_windowProcedure = m_library.Symbol("DllWndProc");
}

void ExtensionLibraryOperation::Paint(ImageDescriptor* image) {
  if (m_paintMsg == nullptr) return;
  ImageDescriptor* head = image;
  m_paintMsg(kHueboxImageInformation, 1, &head);
}

void ExtensionLibraryOperation::Execute(ImageSurface& target, int32_t pass) {
  if (pass == 1) Paint(target.Descriptor());
}

void ExtensionLibraryOperation::ExecuteWithoutImage() { Paint(nullptr); }

// ---- HueboxHost -------------------------------------------------------------------------------

HueboxHost& HueboxHost::Instance() {
  static HueboxHost host;
  return host;
}

HueboxHost::HueboxHost(std::string libraryPath) : m_path(std::move(libraryPath)) {}

bool HueboxHost::Load() {
  if (!m_tried) {
    m_tried = true;
    m_library.Open(m_path.empty() ? ProgramPath(kHueboxLibraryName) : m_path);
  }
  if (!m_library.IsOpen() && !m_toldMissing) {
    m_toldMissing = true;
    GetHost().MessageBox(kMsgHueboxMissing, "", kMbOk | kMbIconWarning);
  }
  return m_library.IsOpen();
}

template <typename Function>
Function HueboxHost::Export(const char* name) {
  if (!Load()) return nullptr;
  auto function = m_library.Function<Function>(name);
  if (function == nullptr && m_toldExports.insert(name).second) {
    GetHost().MessageBox(HueboxExportMissingMessage(name), "", kMbOk | kMbIconWarning);
  }
  return function;
}

std::optional<ColourRef> HueboxHost::OpenColourSurface(QWidget* parent, QPoint screen, ColourRef current) {
  const auto open = Export<HueboxOpenColorSurface>("OpenColorSurface");
  if (open == nullptr) return std::nullopt;
  uint32_t picked = 0;
  if (open(parent, screen.x(), screen.y(), ValueOf(current), &picked) != 1) return std::nullopt;
  return ColourRef{picked & 0xFFFFFFu};
}

bool HueboxHost::ShowGradientEditor(QWidget* parent) {
  const auto show = Export<HueboxShowGradientEditor>("ShowGradientEditor");
  return show != nullptr && show(parent, nullptr) == 1;
}

std::optional<int> HueboxHost::ShowGradationUI(QWidget* parent, int index) {
  const auto show = Export<HueboxShowGradationUI>("ShowGradationUI");
  if (show == nullptr) return std::nullopt;
  const int32_t chosen = show(parent, index);
  if (chosen < 0) return std::nullopt;
  return chosen;
}

int HueboxHost::GradientCount() {
  const auto count = Export<HueboxGradientCountFunction>("HueboxGradientCount");
  return count != nullptr ? count() : 0;
}

std::optional<HueboxGradient> HueboxHost::Gradient(int index) {
  const auto get = Export<HueboxGetGradient>("GetGradient");
  HueboxGradient gradient{};
  if (get == nullptr || get(index, &gradient) != 1) return std::nullopt;
  return gradient;
}

std::unique_ptr<ExtensionLibraryOperation> HueboxHost::ImageInformationOperation(QWidget* mainWindow) {
  if (!Load()) return nullptr;
  auto operation = std::make_unique<ExtensionLibraryOperation>(m_library.Path(), mainWindow);
  if (!operation->IsLoaded()) return nullptr;
  return operation;
}

}  // namespace varnel

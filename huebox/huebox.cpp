// The exports of Ext/Huebox.so (declared in sdk/huebox.h). Nothing thrown inside ever leaves
// them; every window they open needs the program's QApplication, and without one they answer
// at once.

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <string>

#include "huebox/colour_surface.h"
#include "huebox/colour_surface_model.h"
#include "huebox/gradient_editor.h"
#include "huebox/image_information.h"
#include "huebox/image_information_window.h"
#include "huebox/program_gradients.h"
#include "platform/host.h"
#include "qtcommon/qt_message_box.h"
#include "sdk/huebox.h"

namespace {

using varnel::ColourRef;

constexpr const char* kImageInformationCaption = "画像情報";
constexpr const char* kNoImage = "画像がありません";

// The main window CreateUI named: the owner of dialogs opened without one.
QPointer<QWidget>& MainWindow() {
  static QPointer<QWidget> window;
  return window;
}

bool HaveDesktop() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QWidget* Owner(void* window) {
  if (window != nullptr) return static_cast<QWidget*>(window);
  return MainWindow().data();
}

const varnel::huebox::Gradient* ProgramGradient(int32_t index) {
  const auto& gradients = varnel::huebox::ProgramGradients();
  if (index < 0 || static_cast<size_t>(index) >= gradients.size()) return nullptr;
  return &gradients[static_cast<size_t>(index)];
}

std::string ImageInformationText(const ImageDescriptor* image) {
  if (image == nullptr) return kNoImage;
  return "幅: " + std::to_string(image->header.biWidth) + " ピクセル\n高さ: " + std::to_string(image->header.biHeight) +
         " ピクセル\n色深度: " + std::to_string(image->header.biBitCount) + " ビット";
}

}  // namespace

extern "C" {

HUEBOX_EXPORT int32_t OpenColorSurface(void* parentWindow, int32_t screenX, int32_t screenY, uint32_t current,
                                       uint32_t* picked) {
  try {
    if (!HaveDesktop()) return 0;
    const auto colour = varnel::huebox::RunColourSurface(static_cast<QWidget*>(parentWindow), QPoint(screenX, screenY),
                                                         ColourRef{current & 0xFFFFFFu});
    if (!colour) return 0;
    if (picked != nullptr) *picked = varnel::ValueOf(*colour);
    return 1;
  } catch (...) {
    return 0;
  }
}

HUEBOX_EXPORT int32_t HueboxSurfaceColourAt(const HueboxSurfaceState* state, int32_t x, int32_t y, uint32_t* colour) {
  if (state == nullptr) return kHueboxPartNone;
  ColourRef shown{};
  const int32_t part = varnel::huebox::SurfaceColourAt(*state, x, y, &shown);
  if (part != kHueboxPartNone && colour != nullptr) *colour = varnel::ValueOf(shown);
  return part;
}

HUEBOX_EXPORT int32_t HueboxGradientCount(void) {
  try {
    return static_cast<int32_t>(varnel::huebox::ProgramGradients().size());
  } catch (...) {
    return 0;
  }
}

HUEBOX_EXPORT int32_t GetGradient(int32_t index, HueboxGradient* gradient) {
  try {
    const varnel::huebox::Gradient* source = ProgramGradient(index);
    if (source == nullptr || gradient == nullptr) return 0;
    HueboxGradient out{};
    const std::string name = varnel::huebox::FittingName(source->name);
    std::memcpy(out.name, name.data(), name.size());
    out.stopCount = static_cast<int32_t>(std::min(source->stops.size(), size_t{kHueboxMaxStops}));
    for (int32_t i = 0; i < out.stopCount; ++i) {
      const varnel::huebox::GradientStop& stop = source->stops[static_cast<size_t>(i)];
      out.stops[i] = {stop.position, stop.colour.red, stop.colour.green, stop.colour.blue, stop.colour.alpha};
    }
    *gradient = out;
    return 1;
  } catch (...) {
    return 0;
  }
}

HUEBOX_EXPORT int32_t GetGradationColors(int32_t index, int32_t count, uint32_t* colours) {
  try {
    const varnel::huebox::Gradient* source = ProgramGradient(index);
    if (source == nullptr || count < 1 || colours == nullptr) return 0;
    varnel::huebox::SampleColourRefs(*source, count, colours);
    return 1;
  } catch (...) {
    return 0;
  }
}

HUEBOX_EXPORT int32_t ShowGradientEditor(void* parentWindow, const char* path) {
  try {
    if (!HaveDesktop()) return 0;
    const std::string file = path != nullptr && *path != '\0' ? path : varnel::huebox::ProgramGradientPath();
    return varnel::huebox::RunGradientEditor(Owner(parentWindow), file, 0, nullptr) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

HUEBOX_EXPORT int32_t ShowGradationUI(void* parentWindow, int32_t index) {
  try {
    if (!HaveDesktop()) return -1;
    int chosen = -1;
    if (!varnel::huebox::RunGradientEditor(Owner(parentWindow), varnel::huebox::ProgramGradientPath(), index, &chosen)) {
      return -1;
    }
    return chosen;
  } catch (...) {
    return -1;
  }
}

HUEBOX_EXPORT int32_t CreateUI(void* mainWindow) {
  try {
    MainWindow() = static_cast<QWidget*>(mainWindow);
  } catch (...) {
  }
  return 0;
}

HUEBOX_EXPORT int32_t PaintMsg(int32_t code, int32_t count, void* head) {
  try {
    if (code != kHueboxImageInformation || count <= 0 || head == nullptr || !HaveDesktop()) return 0;
    const ImageDescriptor* image = *static_cast<ImageDescriptor* const*>(head);
    const auto information = varnel::huebox::GatherImageInformation(image, count);
    if (!information) {
      varnel::ShowMessageBox(MainWindow().data(), kNoImage, kImageInformationCaption,
                             varnel::kMbOk | varnel::kMbIconInformation, QStringLiteral("Huebox"));
      return 0;
    }
    varnel::huebox::ImageInformationWindow window(MainWindow().data(), *information);
    window.exec();
  } catch (...) {
  }
  return 0;
}

HUEBOX_EXPORT int32_t HueboxImageInformationText(const ImageDescriptor* image, char* text, int32_t size) {
  if (text == nullptr || size < 1) return -1;
  try {
    const std::string whole = ImageInformationText(image);
    size_t length = std::min(whole.size(), static_cast<size_t>(size) - 1);
    // A cut inside a character drops the whole character.
    if (length < whole.size()) {
      while (length > 0 && (static_cast<unsigned char>(whole[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(text, whole.data(), length);
    text[length] = '\0';
    return static_cast<int32_t>(whole.size());
  } catch (...) {
    text[0] = '\0';
    return -1;
  }
}

}  // extern "C"

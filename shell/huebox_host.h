#pragma once
// The program's side of Huebox, the colour surface and gradient library in Ext/Huebox.so
// (its functions: sdk/huebox.h). The library is loaded on first use; when it or one of its
// functions is missing the user is told once per run and the caller goes on without it.

#include <QPoint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/canvas.h"
#include "platform/colour.h"
#include "platform/dynamic_library.h"
#include "sdk/huebox.h"

class QWidget;

namespace varnel {

// Where the library lives, below the program folder.
inline constexpr const char* kHueboxLibraryName = "Ext/Huebox.so";
inline constexpr const char* kMsgHueboxMissing = "Hueboxライブラリが見つかりません";
// "Hueboxライブラリに NAME がありません"
std::string HueboxExportMissingMessage(std::string_view exportName);

// The extension-library protocol over one library: loading calls CreateUI with the main window
// when the library has it and looks up PaintMsg (and DllWndProc, which nothing uses); pass 1
// of Execute calls PaintMsg(32774, 1, &head) with the target's ImageDescriptor as head. The
// library is freed with the operation.
class ExtensionLibraryOperation : public CanvasOperation {
 public:
  ExtensionLibraryOperation(const std::string& path, QWidget* mainWindow);
  bool IsLoaded() const { return m_library.IsOpen(); }
  void Execute(ImageSurface& target, int32_t pass) override;
  // The same call when there is no image: head is null.
  void ExecuteWithoutImage();

 private:
  void Paint(ImageDescriptor* image);

  DynamicLibrary m_library;
  HueboxPaintMsg m_paintMsg = nullptr;
  void* m_windowProcedure = nullptr;  // looked up as the protocol asks; nothing calls it
};

class HueboxHost {
 public:
  // The program's host, loading ProgramPath(kHueboxLibraryName).
  static HueboxHost& Instance();
  // A host of its own; an empty path means the program's library, looked for at first use.
  explicit HueboxHost(std::string libraryPath = {});
  HueboxHost(const HueboxHost&) = delete;
  HueboxHost& operator=(const HueboxHost&) = delete;

  // Loads the library when this is the first use; false when it is not there (told once).
  bool Load();

  // The colour surface at a screen point (for the brush's Ctrl + pen-down: the cursor). The
  // picked colour, or nothing when the surface was closed without one or is not available.
  std::optional<ColourRef> OpenColourSurface(QWidget* parent, QPoint screen, ColourRef current);
  // The gradient editor over the program's res/grad.gpi; true when it saved the file.
  bool ShowGradientEditor(QWidget* parent);
  // The gradient tool's editor with pattern index selected; the pattern selected when it was
  // saved, or nothing.
  std::optional<int> ShowGradationUI(QWidget* parent, int index);

  // The patterns of res/grad.gpi: how many, and one of them.
  int GradientCount();
  std::optional<HueboxGradient> Gradient(int index);

  // The extension-library operation for "画像情報(&I)": hand it to the canvas with
  // ApplyOperation. Null when the library is not there (told once).
  std::unique_ptr<ExtensionLibraryOperation> ImageInformationOperation(QWidget* mainWindow);

 private:
  template <typename Function>
  Function Export(const char* name);

  std::string m_path;
  DynamicLibrary m_library;
  bool m_tried = false;
  bool m_toldMissing = false;
  std::set<std::string> m_toldExports;
};

}  // namespace varnel

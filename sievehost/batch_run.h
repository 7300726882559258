#pragma once
// The filter manager's work without a window: its own list of the filter libraries in Filter/,
// the batch run over an image head, and the main program's side of the batch (loading
// Sievehost.so as a canvas operation). The dialogs of Sievehost.so and varnel-cli's "batch" sit
// on top of this header.
//
// Everything runs on the user-interface thread; the only re-entry is the event pumping inside
// the progress callback.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/canvas.h"
#include "platform/dynamic_library.h"
#include "sdk/varnel_filter.h"
#include "sdk/varnel_image.h"
#include "sievehost/batch_file.h"

namespace varnel {

inline constexpr const char* kBatchReadyText = "レディ";
inline constexpr const char* kBatchRunningText = "バッチ処理を実行中です。しばらくお待ちください・・・。";
inline constexpr const char* kBatchFilterRunningSuffix = "を実行中です...";
inline constexpr const char* kBatchNoSelectionMessage = "処理を選択してください";
// The code PaintMsg answers with the filter dialog.
inline constexpr int32_t kPaintMsgFilterDialog = 32774;

// One library of Filter/ with the name-interface entry points the manager uses (null where not
// exported; a file that does not load keeps its name and has none).
class SievehostLibrary {
 public:
  SievehostLibrary(std::string fileName, const std::string& path);
  const std::string& FileName() const { return m_fileName; }
  bool IsLoaded() const { return m_library.IsOpen(); }

  VarnelEnumFilter enumFilter = nullptr;
  VarnelEnumParams enumParams = nullptr;
  VarnelParamToString paramToString = nullptr;
  VarnelExecute execute = nullptr;
  VarnelProcessFilter processFilter = nullptr;

 private:
  std::string m_fileName;
  DynamicLibrary m_library;
};

// Every "*.so" of a folder, loaded in the order the file system lists them and freed with the
// list.
class SievehostLibraryList {
 public:
  SievehostLibraryList() = default;
  explicit SievehostLibraryList(const std::string& folder);
  const std::vector<std::unique_ptr<SievehostLibrary>>& Libraries() const { return m_libraries; }
  // Batch lines name libraries without regard to letter case (ASCII letters).
  const SievehostLibrary* FindNoCase(std::string_view fileName) const;
  // The filter dialog finds them by exact file name.
  const SievehostLibrary* Find(std::string_view fileName) const;

 private:
  std::vector<std::unique_ptr<SievehostLibrary>> m_libraries;
};

// Sievehost's list, built when the library is loaded and freed when it is unloaded.
SievehostLibraryList& SievehostLibraries();

// The "*.bat" files of a folder, file names with extension, in the order the file system
// lists them (the batch dialog's list); a read-only program folder's, then the new names of the
// user's data folder.
std::vector<std::string> BatchFileNames(const std::string& folder);

// Puts every saved tile of the head back into its pixels, frees the blocks and empties the
// list: what was drawn since the owner's last backup is undone. Tiles whose position lies
// outside the image are freed without being written.
void RevertSavedTiles(ImageDescriptor& head);

// What the batch run reports while it goes.
struct BatchRunHooks {
  std::function<void(const std::string& text)> message;       // a Message line (UTF-8)
  std::function<void(const std::string& status)> status;      // "<filter>を実行中です..."
  std::function<void(int32_t percent)> progress;              // the running filter's percent
  // A line that runs nothing: 1-based number, the line as read, and why. Lines that are
  // ignored by the file format have a Problem; an unknown library or filter has kNone.
  std::function<void(int32_t lineNumber, const std::string& line, BatchLine::Problem problem)> skipped;
  // True once the dialog is being destroyed: no further line is started.
  std::function<bool()> stopped;
};

struct BatchRunResult {
  int32_t filtersRun = 0;
  bool aborted = false;
};

// One batch run over an image head, one line at a time. The progress callback the filters get
// reaches the run that is going on; "中断" is RequestAbort.
class BatchRun {
 public:
  BatchRun(const SievehostLibraryList& libraries, BatchRunHooks hooks);
  ~BatchRun();
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

  // Runs every line of content (the file's bytes, code page 932 or UTF-8) on head: messages go
  // to hooks.message; a filter line finds its library without regard to case and calls
  // ProcessFilter with the progress callback, else Execute; once an abort was asked for, the
  // saved tiles are written back and no further line is read.
  BatchRunResult Run(std::string_view content, ImageDescriptor& head);
  void RequestAbort() { m_abort = true; }
  bool AbortRequested() const { return m_abort; }
  bool IsRunning() const { return m_running; }

  // The callback filters receive: moves the bar through hooks.progress and answers −1 once an
  // abort was asked for, else 0; without a run going on it answers 0.
  static int32_t Progress(int32_t reserved, int32_t percent);

 private:
  const SievehostLibraryList& m_libraries;
  BatchRunHooks m_hooks;
  bool m_abort = false;
  bool m_running = false;
  BatchRun* m_previous = nullptr;
};

// The manager works on a copy of the caller's head and writes it back when it is done; pixel
// memory, tile list and row table stay shared with the caller throughout.
BatchRunResult RunBatchOnImage(BatchRun& run, std::string_view content, ImageDescriptor* image);

// A batch run as a canvas operation (varnel-cli's "batch"): acts on pass 1 only.
class BatchCommand : public CanvasOperation {
 public:
  BatchCommand(const SievehostLibraryList& libraries, std::string content, BatchRunHooks hooks);
  void Execute(ImageSurface& target, int32_t pass) override;
  BatchRunResult result;

 private:
  BatchRun m_run;
  std::string m_content;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadBatchFile(const std::string& path, std::string& content);
// The message for a file that cannot be opened.
std::string BatchFileOpenErrorMessage(const std::string& path);

// ---- The main program's side -----------------------------------------------------------------

typedef int32_t (*SievehostCreateUI)(void* mainWindow);
typedef int32_t (*SievehostPaintMsg)(int32_t code, int32_t count, ImageDescriptor** head);
typedef int32_t (*SievehostProcessBatch)(void* owner, ImageDescriptor* image);

// "フィルタバッチ処理": loads "Sievehost.dll" by its plain name (the program folder first); on
// pass 1 with the library loaded, calls ProcessBatch(mainWindow, target's head). The library
// is freed with the operation.
class BatchOperation : public CanvasOperation {
 public:
  explicit BatchOperation(void* mainWindow, std::string_view libraryName = "Sievehost.dll");
  bool IsLoaded() const { return m_library.IsOpen(); }
  void Execute(ImageSurface& target, int32_t pass) override;

 private:
  DynamicLibrary m_library;
  void* m_mainWindow;
};

}  // namespace varnel

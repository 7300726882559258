#pragma once
// The filter host: finds the filter libraries in Filter/, lists their filters and parameters,
// runs the live preview on a scaled copy of the active layer and the real run on the document,
// and hands alias-interface filters the pixel callbacks. Qt-free: the filter dialog and its
// progress dialog are thin Qt classes on top of this header.
//
// How the dialog uses it:
//   FilterLibraryList& libraries = ProgramFilterLibraries();     // loaded once, kept until exit
//   tree: BuildFilterTree(libraries), one top-level item per library, its filters as children
//   tree selection changed: parameter count 0, then
//     std::optional<FilterSelection> s = SelectFilter(libraries, parentText, itemText);
//     no value (a top-level item): keep the slots as they are; else show s->parameters[0…5]
//     (range min…max, page 1, position def) and hide the slots from SlotCount() on;
//     preview.Load(activeLayer, frameClientWidth) (false: "ゼロ除算" was shown, draw nothing);
//     then the preview run below.
//   scroll bar: position = ScrollBarPosition(action, position, thumb, min, max); preview run
//     when ScrollActionEndsScroll(action).
//   preview run: texts = ValueTexts(*s, values); preview.Run(*s, values, dialogWindow);
//     repaint the frame with preview.Surface() at its top-left corner.
//   "実行": FilterCommand command(*s, RunValues(*s, slotPositions), dialogWindow);
//     command.runInProgress = show "Progress" modally, on the first 50 ms tick call the run,
//       then close; the progress bar follows FilterProgress::onPercent and "中断" sets cancel;
//     canvas.ApplyOperation(command).
//   "CopyParameter": CopyParameterText(*s, values) as plain text on the clipboard.
//   "拡張設定": s->library->OpenConfig(s->filterName, dialogWindow).
// Everything runs on the user-interface thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/canvas.h"
#include "core/surface.h"
#include "platform/dynamic_library.h"
#include "sdk/varnel_filter.h"

namespace varnel {

// The dialog has six parameter slots. A filter with more parameters shows the first six; the
// seventh and later have no control and run at their defaults.
inline constexpr int32_t kFilterSlots = 6;
inline constexpr const char* kZeroDivisionMessage = "ゼロ除算";
inline constexpr uint32_t kFilterLogColour = 0x282828;

// Which interface lists a library's filters: EnumFilter (name), else EnumFilterName (alias).
enum class FilterInterface { kNone, kName, kAlias };

struct FilterParameter {
  std::string name;  // UTF-8
  int32_t min = 0;
  int32_t max = 0;
  int32_t def = 0;
  friend bool operator==(const FilterParameter&, const FilterParameter&) = default;
};

// One loaded filter library and its entry points (null where not exported). Names cross the
// library boundary in code page 932 and are UTF-8 on this side.
class FilterLibrary {
 public:
  // Loads path; a file that cannot be loaded stays in the list and contributes no filters.
  FilterLibrary(std::string fileName, const std::string& path);
  FilterLibrary(const FilterLibrary&) = delete;
  FilterLibrary& operator=(const FilterLibrary&) = delete;

  // As found on disk, with extension, without folder.
  const std::string& FileName() const { return m_fileName; }
  bool IsLoaded() const { return m_library.IsOpen(); }
  FilterInterface Interface() const;
  // The filters in the library's order (EnumFilter while it answers 0, else EnumFilterName
  // while it answers >= 0); empty for a library with neither.
  const std::vector<std::string>& FilterNames() const { return m_filterNames; }
  bool HasFilter(std::string_view filterName) const;
  // EnumParams until −1; else, when EnumFilterParams, AliasFilterParams and AliasFilterName are
  // all exported, EnumFilterParams of the alias (none for a negative alias); else none.
  std::vector<FilterParameter> Parameters(std::string_view filterName) const;
  // AliasFilterName(name) when exported, else −1.
  int32_t Alias(std::string_view filterName) const;
  // ParamToString; else ValueToString when the alias is >= 0; else "N/A".
  std::string ValueText(std::string_view filterName, int32_t alias, int32_t index, int32_t value) const;
  bool HasOpenConfig() const { return m_openConfig != nullptr; }
  void OpenConfig(std::string_view filterName, void* owner) const;

  // The preview's entry: Execute, else the alias interface (AliasFilterName and ExecuteFilter
  // with an alias >= 0, image made current for the callbacks); never ProcessFilter. Answers
  // whether an entry point was called.
  bool RunPreviewEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values,
                       void* owner) const;
  // The real run's entry: ProcessFilter with the progress handler, else Execute, else the alias
  // interface. At most kMaxFilterValues values are passed.
  bool RunRealEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values,
                    void* owner) const;
  // A script's call: ProcessFilter, else Execute, with every value given; never the alias
  // interface. Answers whether an entry point was called.
  bool RunNamedEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values) const;

  // The name as the library spells it (code page 932).
  std::string LibraryText(std::string_view filterName) const;

 private:
  bool RunAlias(std::string_view filterName, ImageSurface& image, std::vector<int32_t>& values, void* owner) const;

  std::string m_fileName;
  DynamicLibrary m_library;
  std::vector<std::string> m_filterNames;
  std::vector<std::string> m_libraryNames;  // the same names as the library spelt them
  VarnelEnumFilter m_enumFilter = nullptr;
  VarnelEnumParams m_enumParams = nullptr;
  VarnelParamToString m_paramToString = nullptr;
  VarnelExecute m_execute = nullptr;
  VarnelProcessFilter m_processFilter = nullptr;
  VarnelOpenConfig m_openConfig = nullptr;
  VarnelEnumFilterName m_enumFilterName = nullptr;
  VarnelAliasFilterName m_aliasFilterName = nullptr;
  VarnelEnumFilterParams m_enumFilterParams = nullptr;
  VarnelValueToString m_valueToString = nullptr;
  VarnelExecuteFilter m_executeFilter = nullptr;
  bool m_aliasParams = false;  // AliasFilterParams is exported
};

inline constexpr int32_t kMaxFilterValues = VARNEL_MAX_FILTER_VALUES;

// The libraries of a folder, every "*.so" in the order the file system lists them; for the program
// folder's Filter folder when it is read-only, then the user's data folder's (SearchFoldersFor).
class FilterLibraryList {
 public:
  FilterLibraryList() = default;
  explicit FilterLibraryList(const std::string& folder);
  const std::vector<std::unique_ptr<FilterLibrary>>& Libraries() const { return m_libraries; }
  // Exact, case-sensitive comparison of file names; null when none matches.
  const FilterLibrary* Find(std::string_view fileName) const;

 private:
  std::vector<std::unique_ptr<FilterLibrary>> m_libraries;
};

// The program's Filter/ libraries, discovered on the first call and kept until the process ends.
FilterLibraryList& ProgramFilterLibraries();

struct FilterTreeNode {
  std::string library;               // top-level item text
  std::vector<std::string> filters;  // children
};
std::vector<FilterTreeNode> BuildFilterTree(const FilterLibraryList& libraries);

// What the dialog keeps per selection.
struct FilterSelection {
  const FilterLibrary* library = nullptr;
  std::string libraryName;
  std::string filterName;
  std::vector<FilterParameter> parameters;
  // The parameters that have a slot: min(count, kFilterSlots).
  int32_t SlotCount() const;
};

// The selection of tree item filterName under libraryName; no value when no library has that
// file name (a top-level item was selected: libraryName is then its own parent's empty text).
std::optional<FilterSelection> SelectFilter(const FilterLibraryList& libraries, std::string_view libraryName,
                                            std::string_view filterName);

// The values a run passes: the slots' positions for the first six, the defaults after them.
std::vector<int32_t> RunValues(const FilterSelection& selection, const std::vector<int32_t>& slotPositions);
// The value label of each slot (first byte cleared before each call; "N/A" without a way).
std::vector<std::string> ValueTexts(const FilterSelection& selection, const std::vector<int32_t>& values);
// "library:filter:v1,v2,…" (no spaces, no line end; "library:filter:" without parameters): the
// line format of filter batch files.
std::string CopyParameterText(const FilterSelection& selection, const std::vector<int32_t>& values);

// Scroll-bar actions as the scroll bar reports them.
enum class ScrollAction { kLineLeft, kLineRight, kPageLeft, kPageRight, kLeftEnd, kRightEnd, kThumbTrack,
                          kThumbPosition, kEndScroll };
// ±1 a line, ±5 a page and the end actions, the thumb's position while dragged and released,
// clamped to min…max.
int32_t ScrollBarPosition(ScrollAction action, int32_t position, int32_t thumb, int32_t min, int32_t max);
// Only the end of a scroll action runs the preview (so a drag updates it when it ends).
bool ScrollActionEndsScroll(ScrollAction action);

// The preview surface: the active layer scaled by nearest neighbour into a square frame.
class FilterPreview {
 public:
  // Scales source into the frame of side frameSide: wider than tall → frameSide × (H ×
  // frameSide / W), else (W × frameSide / H) × frameSide; pixel (x, y) takes source pixel
  // (x × W / pw, y × H / ph). A zero dimension shows "ゼロ除算" and answers false (the
  // previous surface is dropped).
  bool Load(const ImageSurface& source, int32_t frameSide);
  // Revert to the unfiltered preview, back up every tile, call the preview entry.
  void Run(const FilterSelection& selection, const std::vector<int32_t>& values, void* owner);
  const ImageSurface& Surface() const { return m_surface; }
  bool IsLoaded() const { return m_loaded; }

 private:
  ImageSurface m_surface;
  bool m_loaded = false;
};

// The progress of one real run as ProgressHandler reports it. The progress dialog sets
// onPercent (move the bar, pump pending events) and cancel ("中断").
struct FilterProgress {
  std::function<void(int32_t percent)> onPercent;
  bool cancel = false;
};

// "実行": the canvas operation that runs one filter on the drawing target. The canvas backs the
// target up with an undo step before calling it (or works on the selection's bounding
// rectangle and merges the result back through the selection), so a bad result can be undone.
class FilterCommand : public CanvasOperation {
 public:
  FilterCommand(const FilterSelection& selection, std::vector<int32_t> values, void* owner = nullptr);
  // Acts on pass 1 only: makes the target current, logs "Filter:%s", runs the filter through
  // runInProgress (or at once when it is not set), logs "%d msec" one level deeper.
  void Execute(ImageSurface& target, int32_t pass) override;

  // The progress dialog: shows itself modally and calls run once, on its first timer tick.
  std::function<void(const std::function<void()>& run)> runInProgress;
  FilterProgress progress;
  // The preview's entry point instead of the real run's (varnel-cli filter --preview).
  bool previewEntry = false;
  // Whether an entry point was called on the last run.
  bool ran = false;

 private:
  const FilterLibrary* m_library;
  std::string m_filterName;
  std::vector<int32_t> m_values;
  void* m_owner;
};

// The debug-console level the "Filter:%s" line is written at; batch hosts that nest runs set
// it deeper for the time of theirs. The time line goes one level below.
int32_t FilterLogLevel();
void SetFilterLogLevel(int32_t level);

// The host callbacks as a filter sees them (GetHostProc hands them out). The current image and
// progress are process-wide and set only for the time of one run.
VarnelHostProc FilterGetHostProc(const char* name, int32_t reserved);
int32_t FilterGetLine(int32_t y, int32_t left, int32_t right, void* buffer);
int32_t FilterSetLine(int32_t y, int32_t left, int32_t right, const void* buffer);
int32_t FilterGetImageSize(int32_t reserved, int32_t* width, int32_t* height);
int32_t FilterProgressHandler(int32_t reserved, int32_t percent);

// Makes image the callbacks' current image for a scope (null for none).
class ScopedFilterImage {
 public:
  explicit ScopedFilterImage(ImageSurface* image);
  ~ScopedFilterImage();
  ScopedFilterImage(const ScopedFilterImage&) = delete;
  ScopedFilterImage& operator=(const ScopedFilterImage&) = delete;

 private:
  ImageSurface* m_previous;
};

// Makes progress the current progress for a scope (null for none).
class ScopedFilterProgress {
 public:
  explicit ScopedFilterProgress(FilterProgress* progress);
  ~ScopedFilterProgress();
  ScopedFilterProgress(const ScopedFilterProgress&) = delete;
  ScopedFilterProgress& operator=(const ScopedFilterProgress&) = delete;

 private:
  FilterProgress* m_previous;
};

}  // namespace varnel

#pragma once
// The work behind Sievehost's own filter dialog ("フィルタ/効果", opened by PaintMsg), without
// its window: the tree of the name-interface filters, their parameters and value texts, the
// preview of at most 140 × 140 and its run, the "COPY PARAM" line and OK's run with "中止".
// Only the name interface is used here; alias-interface libraries list no filters.
//
// Everything runs on the user-interface thread; the only re-entry is the event pumping inside
// the progress callback.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geometry.h"
#include "core/surface.h"
#include "sdk/varnel_image.h"
#include "sievehost/batch_run.h"

namespace varnel {

inline constexpr int32_t kSievehostSlots = 6;
inline constexpr int32_t kSievehostPreviewSide = 140;
inline constexpr const char* kSievehostZeroDivisionText = "Internal error : zero div!";

struct SievehostParameter {
  std::string name;  // UTF-8
  int32_t min = 0;
  int32_t max = 0;
  int32_t def = 0;
  friend bool operator==(const SievehostParameter&, const SievehostParameter&) = default;
};

struct SievehostTreeNode {
  std::string library;               // the file name, a top-level item
  std::vector<std::string> filters;  // EnumFilter's names (UTF-8) while it answers 0
  friend bool operator==(const SievehostTreeNode&, const SievehostTreeNode&) = default;
};

// One top-level item per library in the list's order; a library without EnumFilter has none
// under it.
std::vector<SievehostTreeNode> SievehostFilterTree(const SievehostLibraryList& libraries);

// EnumParams until it answers −1; none without EnumParams. The dialog shows the first
// kSievehostSlots.
std::vector<SievehostParameter> SievehostParameters(const SievehostLibrary& library, std::string_view filterName);

// ParamToString's text for value of parameter index; empty without ParamToString.
std::string SievehostValueText(const SievehostLibrary& library, std::string_view filterName, int32_t index,
                               int32_t value);

// The values a run passes: the slots' positions for the first six parameters, each held to
// its range, and the defaults of the rest (at most VARNEL_MAX_FILTER_VALUES).
std::vector<int32_t> SievehostRunValues(const std::vector<SievehostParameter>& parameters,
                                        const std::vector<int32_t>& slotPositions);

// "library:filter:v1,v2,…", the line of the batch file format.
std::string SievehostCopyParamText(std::string_view library, std::string_view filter,
                                   const std::vector<int32_t>& values);

// The preview's size for an image of width × height: wider than tall → 140 × (H × 140 / W),
// else (W × 140 / H) × 140, integer division. {0, 0} when either side comes out 0 (the frame
// then says kSievehostZeroDivisionText).
Size SievehostPreviewSize(int32_t width, int32_t height);

// The preview: the caller's image scaled into at most 140 × 140.
class SievehostPreview {
 public:
  // Fills the preview from source by nearest neighbour: pixel (x, y) takes source pixel
  // (x × W / pw, y × H / ph). False, and nothing to show, for a zero size or a head without
  // pixels.
  bool Load(const ImageDescriptor& source);
  // Back to the unfiltered pixels, every tile backed up, then Execute (never ProcessFilter).
  // False when the library has no Execute or nothing is loaded.
  bool Run(const SievehostLibrary& library, std::string_view filterName, std::vector<int32_t> values);
  const ImageSurface& Surface() const { return m_surface; }
  bool IsLoaded() const { return m_loaded; }

 private:
  ImageSurface m_surface;
  bool m_loaded = false;
};

// OK's run on the caller's image. The progress callback the filter gets reaches the run that
// is going on; "中止" is RequestAbort.
class SievehostFilterRun {
 public:
  explicit SievehostFilterRun(std::function<void(int32_t percent)> onPercent = {});
  ~SievehostFilterRun();
  SievehostFilterRun(const SievehostFilterRun&) = delete;
  SievehostFilterRun& operator=(const SievehostFilterRun&) = delete;

  // ProcessFilter with the progress callback, else Execute. After an abort the head's saved
  // tiles are written back. Answers whether an entry point was called.
  bool Run(const SievehostLibrary& library, std::string_view filterName, std::vector<int32_t> values,
           ImageDescriptor& head);
  void RequestAbort() { m_abort = true; }
  bool Aborted() const { return m_aborted; }
  bool IsRunning() const { return m_running; }

  // Moves the bar through onPercent (0…100) and answers −1 once an abort was asked for, else 0;
  // 0 without a run going on.
  static int32_t Progress(int32_t reserved, int32_t percent);

 private:
  std::function<void(int32_t)> m_onPercent;
  bool m_abort = false;
  bool m_aborted = false;
  bool m_running = false;
  SievehostFilterRun* m_previous = nullptr;
};

// What PaintMsg does once the dialog has closed: the whole image, 0, 0 to width − 1,
// height − 1, is to be drawn again.
void MarkWholeImageDirty(ImageDescriptor& head);

}  // namespace varnel

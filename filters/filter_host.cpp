#include "filters/filter_host.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "filters/filter_values.h"
#include "platform/code_page.h"
#include "platform/host.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

ImageSurface* g_currentImage = nullptr;
FilterProgress* g_currentProgress = nullptr;
int32_t g_logLevel = 1;

// The part of row y from left to right (inclusive) inside the image, as the first pixel and the
// count; false when nothing of it is inside. Computed in 64 bits so that no span overflows.
// The span's part inside the image. left and right come in normalised (swapped when given
// right to left), as rectangles always are.
bool ClipLine(const ImageSurface& image, int32_t y, int32_t left, int32_t right, int32_t* from, int32_t* count) {
  if (y < 0 || y >= image.Height()) return false;
  const int64_t lo = std::max<int64_t>(left, 0);
  const int64_t hi = std::min<int64_t>(right, int64_t{image.Width()} - 1);
  if (lo > hi) return false;
  *from = static_cast<int32_t>(lo);
  *count = static_cast<int32_t>(hi - lo + 1);
  return true;
}

}  // namespace

// ---- callbacks ----

int32_t FilterGetLine(int32_t y, int32_t left, int32_t right, void* buffer) {
  ImageSurface* image = g_currentImage;
  if (!image) return 0;
  if (left > right) std::swap(left, right);
  int32_t from = 0, count = 0;
  if (buffer && image->Bits() && ClipLine(*image, y, left, right, &from, &count)) {
    auto* out = static_cast<uint8_t*>(buffer) + (int64_t{from} - left) * 4;
    std::memcpy(out, image->Row(y) + from, static_cast<size_t>(count) * 4);
  }
  return 1;
}

int32_t FilterSetLine(int32_t y, int32_t left, int32_t right, const void* buffer) {
  ImageSurface* image = g_currentImage;
  if (!image) return 0;
  if (left > right) std::swap(left, right);
  int32_t from = 0, count = 0;
  if (buffer && image->Bits() && ClipLine(*image, y, left, right, &from, &count)) {
    // Through SetRect, so the touched tiles are backed up and the dirty rectangle grows.
    const auto* in = static_cast<const uint8_t*>(buffer) + (int64_t{from} - left) * 4;
    std::vector<uint32_t> pixels(static_cast<size_t>(count));
    std::memcpy(pixels.data(), in, pixels.size() * 4);
    image->SetRect({from, y, from + count - 1, y}, pixels.data());
  }
  return 1;
}

int32_t FilterGetImageSize(int32_t, int32_t* width, int32_t* height) {
  ImageSurface* image = g_currentImage;
  if (!image) return 0;
  const bool hasPixels = image->Bits() != nullptr;
  if (width) *width = hasPixels ? image->Width() : 0;
  if (height) *height = hasPixels ? image->Height() : 0;
  return 1;
}

int32_t FilterProgressHandler(int32_t, int32_t percent) {
  FilterProgress* progress = g_currentProgress;
  if (!progress) return 0;
  if (progress->onPercent) progress->onPercent(std::clamp(percent, 0, 100));
  return progress->cancel ? -1 : 0;
}

VarnelHostProc FilterGetHostProc(const char* name, int32_t) {
  if (!name) return nullptr;
  if (std::strcmp(name, "GetLine") == 0) return reinterpret_cast<VarnelHostProc>(&FilterGetLine);
  if (std::strcmp(name, "SetLine") == 0) return reinterpret_cast<VarnelHostProc>(&FilterSetLine);
  if (std::strcmp(name, "ProgressHandler") == 0) return reinterpret_cast<VarnelHostProc>(&FilterProgressHandler);
  if (std::strcmp(name, "GetImageSize") == 0) return reinterpret_cast<VarnelHostProc>(&FilterGetImageSize);
  return nullptr;
}

ScopedFilterImage::ScopedFilterImage(ImageSurface* image) : m_previous(g_currentImage) { g_currentImage = image; }
ScopedFilterImage::~ScopedFilterImage() { g_currentImage = m_previous; }
ScopedFilterProgress::ScopedFilterProgress(FilterProgress* progress) : m_previous(g_currentProgress) {
  g_currentProgress = progress;
}
ScopedFilterProgress::~ScopedFilterProgress() { g_currentProgress = m_previous; }

int32_t FilterLogLevel() { return g_logLevel; }
void SetFilterLogLevel(int32_t level) { g_logLevel = level; }

// ---- FilterLibrary ----

FilterLibrary::FilterLibrary(std::string fileName, const std::string& path) : m_fileName(std::move(fileName)) {
  if (!m_library.Open(path)) return;
  m_enumFilter = m_library.Function<VarnelEnumFilter>("EnumFilter");
  m_enumParams = m_library.Function<VarnelEnumParams>("EnumParams");
  m_paramToString = m_library.Function<VarnelParamToString>("ParamToString");
  m_execute = m_library.Function<VarnelExecute>("Execute");
  m_processFilter = m_library.Function<VarnelProcessFilter>("ProcessFilter");
  m_openConfig = m_library.Function<VarnelOpenConfig>("OpenConfig");
  m_enumFilterName = m_library.Function<VarnelEnumFilterName>("EnumFilterName");
  m_aliasFilterName = m_library.Function<VarnelAliasFilterName>("AliasFilterName");
  m_enumFilterParams = m_library.Function<VarnelEnumFilterParams>("EnumFilterParams");
  m_valueToString = m_library.Function<VarnelValueToString>("ValueToString");
  m_executeFilter = m_library.Function<VarnelExecuteFilter>("ExecuteFilter");
  m_aliasParams = m_library.Symbol("AliasFilterParams") != nullptr;

  // A library that never stops listing would hang the dialog; no real one has this many.
  constexpr int32_t kMaxFilters = 4096;
  for (int32_t index = 0; index < kMaxFilters; ++index) {
    char name[VARNEL_FILTER_NAME_SIZE] = {};
    int32_t result = -1;
    Guarded([&] {
      if (m_enumFilter) {
        result = m_enumFilter(name, index) == 0 ? 0 : -1;
      } else if (m_enumFilterName) {
        result = m_enumFilterName(name, index) >= 0 ? 0 : -1;
      }
    });
    if (result != 0) break;
    m_libraryNames.emplace_back(name, strnlen(name, sizeof name));
    m_filterNames.push_back(FromCodePage932Buffer(name, sizeof name));
  }
}

FilterInterface FilterLibrary::Interface() const {
  if (m_enumFilter) return FilterInterface::kName;
  if (m_enumFilterName) return FilterInterface::kAlias;
  return FilterInterface::kNone;
}

bool FilterLibrary::HasFilter(std::string_view filterName) const {
  return std::find(m_filterNames.begin(), m_filterNames.end(), filterName) != m_filterNames.end();
}

std::string FilterLibrary::LibraryText(std::string_view filterName) const {
  for (size_t i = 0; i < m_filterNames.size(); ++i)
    if (m_filterNames[i] == filterName) return m_libraryNames[i];
  return ToCodePage932(filterName);
}

int32_t FilterLibrary::Alias(std::string_view filterName) const {
  if (!m_aliasFilterName) return -1;
  const std::string name = LibraryText(filterName);
  int32_t alias = -1;
  Guarded([&] { alias = m_aliasFilterName(name.c_str()); });
  return alias;
}

std::vector<FilterParameter> FilterLibrary::Parameters(std::string_view filterName) const {
  std::vector<FilterParameter> parameters;
  const std::string name = LibraryText(filterName);
  int32_t alias = -1;
  const bool useAlias = !m_enumParams && m_enumFilterParams && m_aliasParams && m_aliasFilterName;
  if (!m_enumParams && !useAlias) return parameters;
  if (useAlias) {
    alias = Alias(filterName);
    if (alias < 0) return parameters;
  }
  constexpr int32_t kMaxParameters = 4096;
  for (int32_t index = 0; index < kMaxParameters; ++index) {
    char text[VARNEL_PARAM_NAME_SIZE] = {};
    FilterParameter parameter;
    int32_t result = -1;
    Guarded([&] {
      result = useAlias ? m_enumFilterParams(alias, text, &parameter.min, &parameter.max, &parameter.def, index)
                        : m_enumParams(name.c_str(), text, &parameter.min, &parameter.max, &parameter.def, index);
    });
    if (result == -1) break;
    parameter.name = FromCodePage932Buffer(text, sizeof text);
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string FilterLibrary::ValueText(std::string_view filterName, int32_t alias, int32_t index, int32_t value) const {
  char text[VARNEL_VALUE_TEXT_SIZE];
  text[0] = '\0';
  if (m_paramToString) {
    const std::string name = LibraryText(filterName);
    Guarded([&] { m_paramToString(name.c_str(), index, text, value); });
  } else if (alias >= 0 && m_valueToString) {
    Guarded([&] { m_valueToString(alias, index, text, value); });
  } else {
    return "N/A";
  }
  return FromCodePage932Buffer(text, sizeof text);
}

void FilterLibrary::OpenConfig(std::string_view filterName, void* owner) const {
  if (!m_openConfig) return;
  const std::string name = LibraryText(filterName);
  Guarded([&] { m_openConfig(name.c_str(), owner); });
}

bool FilterLibrary::RunAlias(std::string_view filterName, ImageSurface& image, std::vector<int32_t>& values,
                             void* owner) const {
  const int32_t alias = Alias(filterName);
  ScopedFilterImage current(&image);
  if (!m_aliasFilterName || !m_executeFilter || alias < 0) return false;
  HostInfo host{owner, &FilterGetHostProc};
  Guarded([&] { m_executeFilter(alias, &host, static_cast<int32_t>(values.size()), FilterValues(values)); });
  return true;
}

bool FilterLibrary::RunPreviewEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values,
                                    void* owner) const {
  if (m_execute) {
    const std::string name = LibraryText(filterName);
    Guarded([&] { m_execute(name.c_str(), image.Descriptor(), static_cast<int32_t>(values.size()), FilterValues(values)); });
    return true;
  }
  return RunAlias(filterName, image, values, owner);
}

bool FilterLibrary::RunRealEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values,
                                 void* owner) const {
  if (values.size() > static_cast<size_t>(kMaxFilterValues)) values.resize(kMaxFilterValues);
  if (RunNamedEntry(filterName, image, values)) return true;
  return RunAlias(filterName, image, values, owner);
}

bool FilterLibrary::RunNamedEntry(std::string_view filterName, ImageSurface& image, std::vector<int32_t> values) const {
  const std::string name = LibraryText(filterName);
  const auto count = static_cast<int32_t>(values.size());
  if (m_processFilter) {
    Guarded([&] { m_processFilter(name.c_str(), image.Descriptor(), count, FilterValues(values), &FilterProgressHandler); });
    return true;
  }
  if (m_execute) {
    Guarded([&] { m_execute(name.c_str(), image.Descriptor(), count, FilterValues(values)); });
    return true;
  }
  return false;
}

// ---- discovery and the tree ----

FilterLibraryList::FilterLibraryList(const std::string& folder) {
  // A read-only program folder's libraries, then the user's data folder's; a user's library of a
  // shipped one's name takes its place, so the shipped one is never loaded.
  // The file system's order, as the dialog lists them.
  for (const auto& [name, path] : LibraryFiles(SearchFoldersFor(folder))) m_libraries.push_back(std::make_unique<FilterLibrary>(name, path));
}

const FilterLibrary* FilterLibraryList::Find(std::string_view fileName) const {
  for (const auto& library : m_libraries)
    if (library->FileName() == fileName) return library.get();
  return nullptr;
}

FilterLibraryList& ProgramFilterLibraries() {
  // Never destroyed: the libraries stay loaded until the process ends.
  static FilterLibraryList* const libraries = new FilterLibraryList(ProgramPath("Filter"));
  return *libraries;
}

std::vector<FilterTreeNode> BuildFilterTree(const FilterLibraryList& libraries) {
  std::vector<FilterTreeNode> tree;
  for (const auto& library : libraries.Libraries()) tree.push_back({library->FileName(), library->FilterNames()});
  return tree;
}

// ---- selection, values and texts ----

int32_t FilterSelection::SlotCount() const {
  return std::min(static_cast<int32_t>(parameters.size()), kFilterSlots);
}

std::optional<FilterSelection> SelectFilter(const FilterLibraryList& libraries, std::string_view libraryName,
                                            std::string_view filterName) {
  const FilterLibrary* library = libraries.Find(libraryName);
  if (!library) return std::nullopt;
  FilterSelection selection;
  selection.library = library;
  selection.libraryName = std::string(libraryName);
  selection.filterName = std::string(filterName);
  selection.parameters = library->Parameters(filterName);
  return selection;
}

std::vector<int32_t> RunValues(const FilterSelection& selection, const std::vector<int32_t>& slotPositions) {
  std::vector<int32_t> values;
  for (size_t i = 0; i < selection.parameters.size(); ++i) {
    const bool hasSlot = i < static_cast<size_t>(kFilterSlots) && i < slotPositions.size();
    values.push_back(hasSlot ? slotPositions[i] : selection.parameters[i].def);
  }
  return values;
}

std::vector<std::string> ValueTexts(const FilterSelection& selection, const std::vector<int32_t>& values) {
  std::vector<std::string> texts;
  if (!selection.library) return texts;
  const int32_t alias = selection.library->Alias(selection.filterName);
  const size_t count = std::min(values.size(), static_cast<size_t>(selection.SlotCount()));
  for (size_t i = 0; i < count; ++i)
    texts.push_back(selection.library->ValueText(selection.filterName, alias, static_cast<int32_t>(i), values[i]));
  return texts;
}

std::string CopyParameterText(const FilterSelection& selection, const std::vector<int32_t>& values) {
  std::string text = selection.libraryName + ":" + selection.filterName + ":";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(values[i]);
  }
  return text;
}

int32_t ScrollBarPosition(ScrollAction action, int32_t position, int32_t thumb, int32_t min, int32_t max) {
  int64_t next = position;
  switch (action) {
    case ScrollAction::kLineLeft: next -= 1; break;
    case ScrollAction::kLineRight: next += 1; break;
    case ScrollAction::kPageLeft:
    case ScrollAction::kLeftEnd: next -= 5; break;
    case ScrollAction::kPageRight:
    case ScrollAction::kRightEnd: next += 5; break;
    case ScrollAction::kThumbTrack:
    case ScrollAction::kThumbPosition: next = thumb; break;
    case ScrollAction::kEndScroll: break;
  }
  if (min > max) std::swap(min, max);
  return static_cast<int32_t>(std::clamp<int64_t>(next, min, max));
}

bool ScrollActionEndsScroll(ScrollAction action) { return action == ScrollAction::kEndScroll; }

// ---- preview ----

bool FilterPreview::Load(const ImageSurface& source, int32_t frameSide) {
  m_loaded = false;
  const int64_t w = source.Bits() ? source.Width() : 0;
  const int64_t h = source.Bits() ? source.Height() : 0;
  int64_t pw = 0, ph = 0;
  if (w > 0 && h > 0 && frameSide > 0) {
    pw = w > h ? frameSide : w * frameSide / h;
    ph = w > h ? h * frameSide / w : frameSide;
  }
  if (pw <= 0 || ph <= 0) {
    GetHost().MessageBox(kZeroDivisionMessage, "", kMbOk);
    return false;
  }
  if (m_surface.Create({static_cast<int32_t>(pw), static_cast<int32_t>(ph)}) != 0) return false;
  std::vector<int32_t> columns(static_cast<size_t>(pw));
  for (int64_t x = 0; x < pw; ++x) columns[static_cast<size_t>(x)] = static_cast<int32_t>(x * w / pw);
  for (int64_t y = 0; y < ph; ++y) {
    const uint32_t* from = source.Row(static_cast<int32_t>(y * h / ph));
    uint32_t* to = m_surface.Row(static_cast<int32_t>(y));
    for (int64_t x = 0; x < pw; ++x) to[x] = from[columns[static_cast<size_t>(x)]];
  }
  m_surface.DiscardBackups();
  m_loaded = true;
  return true;
}

void FilterPreview::Run(const FilterSelection& selection, const std::vector<int32_t>& values, void* owner) {
  if (!m_loaded || !selection.library) return;
  WaitCursor wait;
  m_surface.RevertUncommitted();
  m_surface.BackupAll(false, false);
  selection.library->RunPreviewEntry(selection.filterName, m_surface, values, owner);
}

// ---- the real run ----

FilterCommand::FilterCommand(const FilterSelection& selection, std::vector<int32_t> values, void* owner)
    : m_library(selection.library), m_filterName(selection.filterName), m_values(std::move(values)), m_owner(owner) {}

void FilterCommand::Execute(ImageSurface& target, int32_t pass) {
  if (pass != 1 || !m_library) return;
  ScopedFilterImage current(&target);
  const int32_t level = FilterLogLevel();
  GetHost().DebugMessage(level, ColourRef{kFilterLogColour}, "Filter:" + m_filterName);
  const auto started = std::chrono::steady_clock::now();
  // The canvas has recorded the undo step already; backups the callbacks take during the run
  // would only repeat it, and would wrongly join the next step.
  const bool backedUp = target.SavedTileCount() == 0;
  auto run = [&] {
    ScopedFilterProgress current(&progress);
    ran = previewEntry ? m_library->RunPreviewEntry(m_filterName, target, m_values, m_owner)
                       : m_library->RunRealEntry(m_filterName, target, m_values, m_owner);
  };
  if (runInProgress) {
    runInProgress(run);
  } else {
    run();
  }
  if (backedUp) target.DiscardBackups();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  GetHost().DebugMessage(level + 1, ColourRef{kFilterLogColour}, std::to_string(elapsed.count()) + " msec");
}

}  // namespace varnel

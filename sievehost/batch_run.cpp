#include "sievehost/batch_run.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "core/surface.h"
#include "memwell/memwell.h"
#include "filters/filter_values.h"
#include "platform/code_page.h"
#include "platform/program_folder.h"

namespace varnel {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(x) == Lower(y);
         });
}

std::vector<std::string> FolderFiles(const std::string& folder, std::string_view extension) {
  std::vector<std::string> names;
  // A read-only program folder's files, then the new names of the user's data folder.
  for (const std::string& searched : SearchFoldersFor(folder)) {
    DIR* directory = opendir(searched.c_str());
    if (!directory) continue;
    // readdir's order is the file system's, as the design lists them.
    while (const dirent* entry = readdir(directory)) {
      const std::string name = entry->d_name;
      if (name.size() > extension.size() && EndsWith(name, extension) &&
          std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    }
    closedir(directory);
  }
  return names;
}

// The run the progress callback reports to; set only while a batch run is going on.
BatchRun* g_currentRun = nullptr;

}  // namespace

// ---- Libraries ---------------------------------------------------------------------------------

SievehostLibrary::SievehostLibrary(std::string fileName, const std::string& path) : m_fileName(std::move(fileName)) {
  if (!m_library.Open(path)) return;
  enumFilter = m_library.Function<VarnelEnumFilter>("EnumFilter");
  enumParams = m_library.Function<VarnelEnumParams>("EnumParams");
  paramToString = m_library.Function<VarnelParamToString>("ParamToString");
  execute = m_library.Function<VarnelExecute>("Execute");
  processFilter = m_library.Function<VarnelProcessFilter>("ProcessFilter");
}

SievehostLibraryList::SievehostLibraryList(const std::string& folder) {
  for (const std::string& name : FolderFiles(folder, ".so"))
    m_libraries.push_back(std::make_unique<SievehostLibrary>(name, ReadablePathFor(folder + "/" + name)));
}

const SievehostLibrary* SievehostLibraryList::FindNoCase(std::string_view fileName) const {
  for (const auto& library : m_libraries)
    if (EqualsNoCase(library->FileName(), fileName)) return library.get();
  return nullptr;
}

const SievehostLibrary* SievehostLibraryList::Find(std::string_view fileName) const {
  for (const auto& library : m_libraries)
    if (library->FileName() == fileName) return library.get();
  return nullptr;
}

SievehostLibraryList& SievehostLibraries() {
  static SievehostLibraryList libraries(ProgramPath("Filter"));
  return libraries;
}

std::vector<std::string> BatchFileNames(const std::string& folder) { return FolderFiles(folder, ".bat"); }

// ---- Saved tiles -------------------------------------------------------------------------------

void RevertSavedTiles(ImageDescriptor& head) {
  const int32_t width = head.header.biWidth, height = head.header.biHeight;
  const bool hasPixels = head.bitmap != nullptr && head.rows != nullptr && width > 0 && height > 0;
  for (int32_t i = 0; i < head.savedTileCount && head.savedTiles != nullptr; ++i) {
    TileBackup* tile = head.savedTiles[i];
    if (tile == nullptr) continue;
    // The list is reachable by every plug-in; a tile out of range would land elsewhere.
    if (hasPixels && tile->column >= 0 && tile->column < head.tilesAcross && tile->row >= 0 &&
        tile->row < head.tilesDown) {
      const int32_t left = tile->column * ImageSurface::kTileSize, top = tile->row * ImageSurface::kTileSize;
      const int32_t columns = std::min(ImageSurface::kTileSize, width - left);
      const int32_t rows = std::min(ImageSurface::kTileSize, height - top);
      for (int32_t y = 0; y < rows; ++y) {
        std::memcpy(head.rows[top + y] + static_cast<size_t>(left) * 4, tile->pixels + y * ImageSurface::kTileSize,
                    static_cast<size_t>(columns) * 4);
      }
      if (columns > 0 && rows > 0) {
        // Widen the dirty rectangle as the surface's own restore does.
        const int32_t right = left + columns - 1, bottom = top + rows - 1;
        if (head.dirtyBottom < 0) {
          head.dirtyLeft = left, head.dirtyTop = top, head.dirtyRight = right, head.dirtyBottom = bottom;
        } else {
          head.dirtyLeft = std::min(head.dirtyLeft, left), head.dirtyTop = std::min(head.dirtyTop, top);
          head.dirtyRight = std::max(head.dirtyRight, right), head.dirtyBottom = std::max(head.dirtyBottom, bottom);
        }
      }
    }
    FXFree(tile);
    head.savedTiles[i] = nullptr;
  }
  if (hasPixels && head.tileFlags != nullptr && head.tilesAcross > 0 && head.tilesDown > 0)
    std::memset(head.tileFlags, 0, static_cast<size_t>(head.tilesAcross) * static_cast<size_t>(head.tilesDown));
  head.savedTileCount = 0;
}

// ---- The batch run ------------------------------------------------------------------------------

BatchRun::BatchRun(const SievehostLibraryList& libraries, BatchRunHooks hooks)
    : m_libraries(libraries), m_hooks(std::move(hooks)) {}

BatchRun::~BatchRun() {
  if (g_currentRun == this) g_currentRun = m_previous;
}

int32_t BatchRun::Progress(int32_t, int32_t percent) {
  BatchRun* run = g_currentRun;
  if (run == nullptr) return 0;
  if (run->m_hooks.progress) run->m_hooks.progress(std::clamp(percent, 0, 100));
  return run->m_abort ? -1 : 0;
}

BatchRunResult BatchRun::Run(std::string_view content, ImageDescriptor& head) {
  BatchRunResult result;
  m_running = true;
  m_previous = g_currentRun;
  g_currentRun = this;
  int32_t lineNumber = 0;
  for (const std::string_view raw : BatchFileLines(content)) {
    ++lineNumber;
    if (m_hooks.stopped && m_hooks.stopped()) break;
    const BatchLine line = ParseBatchLine(raw);
    const auto skip = [&](BatchLine::Problem problem) {
      if (m_hooks.skipped) {
        std::string text(raw);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        m_hooks.skipped(lineNumber, FromCodePage932(text), problem);
      }
    };
    if (line.kind == BatchLine::Kind::kIgnored) {
      if (line.problem != BatchLine::Problem::kBlank) skip(line.problem);
      continue;
    }
    if (line.kind == BatchLine::Kind::kMessage) {
      if (m_hooks.message) m_hooks.message(FromCodePage932(line.text));
      continue;
    }
    const SievehostLibrary* library = m_libraries.FindNoCase(FromCodePage932(line.library));
    if (library == nullptr || (library->processFilter == nullptr && library->execute == nullptr)) {
      skip(BatchLine::Problem::kNone);
      continue;
    }
    // Names cross the library boundary in code page 932, whichever the file was written in.
    const std::string filterName = FromCodePage932(line.filter);
    const std::string libraryText = ToCodePage932(filterName);
    if (m_hooks.status) m_hooks.status(filterName + kBatchFilterRunningSuffix);
    std::vector<int32_t> values = line.values;
    int32_t* data = FilterValues(values);
    const auto count = static_cast<int32_t>(values.size());
    if (library->processFilter != nullptr)
      library->processFilter(libraryText.c_str(), &head, count, data, &BatchRun::Progress);
    else
      library->execute(libraryText.c_str(), &head, count, data);
    ++result.filtersRun;
    if (m_abort) {
      RevertSavedTiles(head);
      result.aborted = true;
      break;
    }
  }
  g_currentRun = m_previous;
  m_previous = nullptr;
  m_running = false;
  return result;
}

BatchRunResult RunBatchOnImage(BatchRun& run, std::string_view content, ImageDescriptor* image) {
  if (image == nullptr) return {};
  ImageDescriptor head = *image;
  const BatchRunResult result = run.Run(content, head);
  *image = head;
  return result;
}

BatchCommand::BatchCommand(const SievehostLibraryList& libraries, std::string content, BatchRunHooks hooks)
    : m_run(libraries, std::move(hooks)), m_content(std::move(content)) {}

void BatchCommand::Execute(ImageSurface& target, int32_t pass) {
  if (pass == 1) result = RunBatchOnImage(m_run, m_content, target.Descriptor());
}

bool ReadBatchFile(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) return false;
  content = std::move(bytes).str();
  return true;
}

std::string BatchFileOpenErrorMessage(const std::string& path) {
  return path + " を開けませんでした。";
}

// ---- The main program's side -------------------------------------------------------------------

BatchOperation::BatchOperation(void* mainWindow, std::string_view libraryName) : m_mainWindow(mainWindow) {
  m_library.Open(libraryName);
}

void BatchOperation::Execute(ImageSurface& target, int32_t pass) {
  if (pass != 1 || !m_library.IsOpen()) return;
  if (auto processBatch = m_library.Function<SievehostProcessBatch>("ProcessBatch"))
    processBatch(m_mainWindow, target.Descriptor());
}

}  // namespace varnel

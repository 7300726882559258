#include "core/undo.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/surface.h"
#include "memwell/memwell.h"
#include "platform/host.h"
#include "platform/temp_file.h"

namespace varnel {
namespace {

constexpr int kUndoDebugLevel = 3;
constexpr ColourRef kUndoDebugColour = MakeColourRef(0xC0, 0, 0);  // dark red

// The spill writer. Its mutex is held while it works on a step; the user-interface thread
// hands a step over only when it can take the mutex at once, so it never waits for a write.
struct SpillWriter {
  std::timed_mutex mutex;  // the writer's mutex of the hand-over protocol
  std::mutex eventMutex;   // guards the two events below
  std::condition_variable eventChanged;
  bool work = false;     // manual-reset event: a step is pending (or quit)
  bool started = false;  // manual-reset event: the writer has taken the mutex
  std::atomic<bool> quit{false};
  std::atomic<bool> abort{false};
  std::atomic<bool> running{false};
  UndoStep* pending = nullptr;  // guarded by mutex
  // Blocks of written steps the writer is to give back, and whether it takes them;
  // guarded by eventMutex.
  std::vector<std::vector<TileBackup*>> releases;
  bool releasing = false;
  std::thread thread;
  // Writes that failed on the writer thread, reported from the user-interface thread.
  std::atomic<int> failedWrites{0};
};

SpillWriter& Writer() {
  static SpillWriter* writer = new SpillWriter;  // lives to the end; the thread may outlive statics
  return *writer;
}

std::mutex g_folderMutex;
std::string g_folder;

// Tiles beyond the pool are single allocations; after a large step has been written their
// pages go back to the system, so a spilled history really costs disk and not memory. Only
// the writer does it, after letting go of its mutex, so nobody waits for it.
std::atomic<bool> g_trimWanted{false};

void TrimIfWanted() {
  if (g_trimWanted.exchange(false, std::memory_order_relaxed)) malloc_trim(0);
}

std::mutex g_hookMutex;
std::function<void(int32_t)> g_writeHook;
std::function<void(ImageSurface&)> g_recordedHandler;

void SetFolderFromEnvironment() {
  std::lock_guard lock(g_folderMutex);
  g_folder = TempDirectory();
}

void ReportFailedBackgroundWrites() {
  const int failed = Writer().failedWrites.exchange(0);
  if (failed > 0)
    GetHost().DebugMessage(kUndoDebugLevel, kUndoDebugColour,
                           "アンドゥデータを一時ファイルに書き出せませんでした。メモリに保持します (" +
                               std::to_string(failed) + ")");
}

// Step files are written straight from the tiles' blocks, 1024 records a system call (the
// most one writev takes), and read in pieces of 16 records (16,512 bytes) into a buffer of
// 1024 records that each reading thread keeps. Gathering the records into a buffer first
// costs a second copy of the whole step and gains nothing: the system takes many
// record-sized pieces in one call as fast as one long piece.
constexpr size_t kReadPieceBytes = 16 * kTileRecordBytes;
constexpr size_t kRecordsPerBuffer = 1024;
constexpr size_t kRecordsPerWrite = 1024;
constexpr int32_t kTrimAfterTiles = 1024;
constexpr size_t kBufferBytes = kRecordsPerBuffer * kTileRecordBytes;
static_assert(kBufferBytes % kReadPieceBytes == 0);

uint8_t* TransferBuffer() {
  thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferBytes]);
  return buffer.get();
}

// Writes or reads every byte the vectors describe, resuming after partial transfers.
template <typename Transfer>
bool TransferAll(int fd, std::vector<iovec>& vectors, Transfer transfer) {
  size_t first = 0;
  while (first < vectors.size()) {
    const ssize_t n = transfer(fd, vectors.data() + first, static_cast<int>(vectors.size() - first));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;  // a short file
    size_t left = static_cast<size_t>(n);
    while (first < vectors.size() && left >= vectors[first].iov_len) left -= vectors[first++].iov_len;
    if (left > 0) {
      vectors[first].iov_base = static_cast<uint8_t*>(vectors[first].iov_base) + left;
      vectors[first].iov_len -= left;
    }
  }
  vectors.clear();
  return true;
}

// The first size bytes of the buffer as pieces of the given size, the last one shorter.
void AddPieces(std::vector<iovec>& vectors, uint8_t* buffer, size_t size, size_t piece) {
  for (size_t at = 0; at < size; at += piece) vectors.push_back({buffer + at, std::min(piece, size - at)});
}

// Waits until the writer has let go of a step it holds, asking it to stop first.
void WaitUntilWriterReleases(UndoStep& step) {
  if (!step.IsBusy()) return;
  SpillWriter& w = Writer();
  w.abort.store(true);
  std::lock_guard lock(w.mutex);
}

void FreeTiles(const std::vector<TileBackup*>& tiles) {
  for (TileBackup* tile : tiles) FXFree(tile);
}

// Giving back the blocks of a full layer's step, and the system its pages, takes longer than
// a tenth of writing it. The writer does it once the step is marked written, so neither the
// hand-over of the next step nor an undo waits for it. Without a writer it happens here.
void ReleaseTiles(std::vector<TileBackup*>&& tiles) {
  SpillWriter& w = Writer();
  {
    std::lock_guard events(w.eventMutex);
    if (w.releasing) {
      w.releases.push_back(std::move(tiles));
      w.eventChanged.notify_all();
      return;
    }
  }
  FreeTiles(tiles);
}

void FreeReleasedTiles(SpillWriter& w) {
  std::vector<std::vector<TileBackup*>> lists;
  {
    std::lock_guard events(w.eventMutex);
    lists.swap(w.releases);
  }
  for (const auto& tiles : lists) FreeTiles(tiles);
}

// Creates a step file, writes the step into it and closes it; deletes it again on failure.
// Runs on either thread; the caller makes sure nobody else touches the step meanwhile.
int32_t WriteStepFile(UndoStep& step) {
  const std::string folder = UndoFolder();
  const uint32_t number = CreateTempFile(folder, kUndoFilePrefix);
  if (number == 0) return -1;
  const std::string name = TempFileName(folder, kUndoFilePrefix, number);
  // The file was just made, empty. Not truncating it again spares the flush the file system
  // starts at close for a file that was truncated and rewritten.
  const int fd = open(name.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    unlink(name.c_str());
    return -1;
  }
  // The size is known up front: the file system takes its blocks at once instead of page by
  // page while the data comes in. Where it cannot, the write goes ahead as it is.
  fallocate(fd, 0, 0, static_cast<off_t>(sizeof(int32_t) + static_cast<uint64_t>(step.TileCount()) * kTileRecordBytes));
  const int32_t result = step.Write(fd);
  // After a whole write the tiles are given back and the file is the only copy of the step:
  // an error reported by close must not delete it too.
  close(fd);
  if (result != 0) {
    unlink(name.c_str());
    return -1;
  }
  step.fileNumber = number;
  step.resident = false;
  return 0;
}

void WriterLoop() {
  SpillWriter& w = Writer();
  for (;;) {
    bool stepWanted = false;
    {
      std::unique_lock events(w.eventMutex);
      w.eventChanged.wait(events, [&] { return w.work || !w.releases.empty(); });
      stepWanted = w.work;
      w.work = false;
    }
    if (w.quit.load()) return;
    if (stepWanted) {
      std::lock_guard lock(w.mutex);
      {
        std::lock_guard events(w.eventMutex);
        w.started = true;
      }
      w.eventChanged.notify_all();
      if (UndoStep* step = w.pending) {
        // A step the writer cannot write stays resident and keeps working.
        if (step->resident && WriteStepFile(*step) != 0) w.failedWrites.fetch_add(1);
        step->busy.store(false, std::memory_order_release);
      }
      w.pending = nullptr;
    }
    FreeReleasedTiles(w);
    TrimIfWanted();
  }
}

// The rectangle of tile (column, row); far-off indices from a damaged file saturate instead
// of overflowing, and then lie outside every surface.
Rect TileRect(int32_t column, int32_t row) {
  auto edge = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  const int64_t left = int64_t{column} * ImageSurface::kTileSize;
  const int64_t top = int64_t{row} * ImageSurface::kTileSize;
  return {edge(left), edge(top), edge(left + ImageSurface::kTileSize - 1),
          edge(top + ImageSurface::kTileSize - 1)};
}

}  // namespace

// ---- UndoStep ---------------------------------------------------------------------------

UndoStep::~UndoStep() {
  WaitUntilWriterReleases(*this);
  for (TileBackup* tile : tiles) FXFree(tile);
  if (!resident && fileNumber != 0) unlink(TempFileName(UndoFolder(), kUndoFilePrefix, fileNumber).c_str());
}

int32_t UndoStep::Write(int fd) {
  SpillWriter& w = Writer();
  int32_t count = TileCount();
  std::function<void(int32_t)> hook;
  {
    std::lock_guard lock(g_hookMutex);
    hook = g_writeHook;
  }
  std::vector<iovec> vectors;
  vectors.reserve(kRecordsPerWrite);
  vectors.push_back({&count, sizeof count});
  for (int32_t i = 0; i < count; ++i) {
    if (hook) hook(i);
    if (w.abort.load(std::memory_order_relaxed)) return -1;
    vectors.push_back({tiles[static_cast<size_t>(i)], kTileRecordBytes});
    if (vectors.size() == kRecordsPerWrite && !TransferAll(fd, vectors, writev)) return -1;
  }
  if (!vectors.empty() && !TransferAll(fd, vectors, writev)) return -1;
  ReleaseTiles(std::move(tiles));
  tiles.clear();
  if (count >= kTrimAfterTiles) g_trimWanted.store(true, std::memory_order_relaxed);
  return 0;
}

int32_t UndoStep::Read(int fd) {
  int32_t count = 0;
  std::vector<iovec> vectors{{&count, sizeof count}};
  if (!TransferAll(fd, vectors, readv)) return -1;
  // The count must match the file, so a damaged file cannot make us allocate blocks for
  // tiles that are not there.
  struct stat info {};
  if (count < 0 || fstat(fd, &info) != 0 ||
      static_cast<uint64_t>(info.st_size) != sizeof count + static_cast<uint64_t>(count) * kTileRecordBytes)
    return -1;
  std::vector<TileBackup*> read;
  read.reserve(static_cast<size_t>(count));
  auto fail = [&] {
    for (TileBackup* tile : read) FXFree(tile);
    return -1;
  };
  uint8_t* buffer = TransferBuffer();
  while (read.size() < static_cast<size_t>(count)) {
    const size_t records = std::min(kRecordsPerBuffer, static_cast<size_t>(count) - read.size());
    AddPieces(vectors, buffer, records * kTileRecordBytes, kReadPieceBytes);
    if (!TransferAll(fd, vectors, readv)) return fail();
    for (size_t r = 0; r < records; ++r) {
      auto* tile = static_cast<TileBackup*>(FXAlloc());
      if (tile == nullptr) return fail();
      std::memcpy(tile, buffer + r * kTileRecordBytes, kTileRecordBytes);
      read.push_back(tile);
    }
  }
  for (TileBackup* tile : tiles) FXFree(tile);
  tiles = std::move(read);
  return 0;
}

void UndoStep::Apply(ImageSurface& surface) { ExchangeStep(surface, *this); }

// ---- spilling ---------------------------------------------------------------------------

std::string UndoFolder() {
  {
    std::lock_guard lock(g_folderMutex);
    if (!g_folder.empty()) return g_folder;
  }
  SetFolderFromEnvironment();
  std::lock_guard lock(g_folderMutex);
  return g_folder;
}

int32_t SpillNow(UndoStep& step) {
  if (!step.resident || !step.IsSpillable()) return 0;
  Writer().abort.store(false);
  if (WriteStepFile(step) == 0) return 0;
  GetHost().DebugMessage(kUndoDebugLevel, kUndoDebugColour,
                         "アンドゥデータを一時ファイルに書き出せませんでした。メモリに保持します");
  return -1;
}

int32_t SpillLater(UndoStep& step) {
  SpillWriter& w = Writer();
  ReportFailedBackgroundWrites();
  if (!step.IsSpillable()) return 0;
  if (!w.running.load()) return -1;
  std::unique_lock lock(w.mutex, std::try_to_lock);
  if (!lock.owns_lock()) return -1;
  if (!step.resident) return 0;
  w.abort.store(false);
  w.pending = &step;
  step.busy.store(true, std::memory_order_release);
  lock.unlock();
  std::unique_lock events(w.eventMutex);
  w.work = true;
  w.eventChanged.notify_all();
  w.eventChanged.wait(events, [&] { return w.started; });
  w.started = false;
  return 0;
}

int32_t Reload(UndoStep& step) {
  if (!step.IsSpillable()) return 0;
  WaitUntilWriterReleases(step);
  if (step.resident) return 0;
  const std::string name = TempFileName(UndoFolder(), kUndoFilePrefix, step.fileNumber);
  const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    // The file is gone: the step is applied as an empty one.
    GetHost().DebugMessage(kUndoDebugLevel, kUndoDebugColour, "アンドゥデータの一時ファイルがありません: " + name);
    step.resident = true;
    return 0;
  }
  const int32_t result = step.Read(fd);
  if (result != 0)
    GetHost().DebugMessage(kUndoDebugLevel, kUndoDebugColour, "アンドゥデータの一時ファイルが壊れています: " + name);
  step.resident = true;
  close(fd);
  unlink(name.c_str());
  return result;
}

void StartSpillWriter() {
  SpillWriter& w = Writer();
  if (w.running.load()) return;
  SetFolderFromEnvironment();
  {
    std::lock_guard events(w.eventMutex);
    w.work = false;
    w.started = false;
  }
  w.quit.store(false);
  w.pending = nullptr;
  {
    std::lock_guard events(w.eventMutex);
    w.releasing = true;
  }
  w.thread = std::thread(WriterLoop);
  w.running.store(true);
}

void StopSpillWriter() {
  SpillWriter& w = Writer();
  if (!w.running.load()) return;
  w.quit.store(true);
  {
    std::lock_guard events(w.eventMutex);
    w.work = true;
  }
  w.eventChanged.notify_all();
  { std::lock_guard lock(w.mutex); }
  w.thread.join();
  {
    std::lock_guard events(w.eventMutex);
    w.releasing = false;
  }
  FreeReleasedTiles(w);
  w.running.store(false);
}

bool IsSpillWriterRunning() { return Writer().running.load(); }

void SetUndoStepRecordedHandler(std::function<void(ImageSurface&)> handler) {
  g_recordedHandler = std::move(handler);
}

void SetSpillWriteHook(std::function<void(int32_t)> hook) {
  std::lock_guard lock(g_hookMutex);
  g_writeHook = std::move(hook);
}

bool IsSpillAbortRequested() { return Writer().abort.load(); }

// ---- applying steps ---------------------------------------------------------------------

void ExchangeStep(ImageSurface& surface, UndoStep& step) {
  const size_t n = step.tiles.size();
  if (n < 1) return;
  surface.SetRestoring(true);
  // Rotates the blocks by one while exchanging, so no extra tile is needed but the kept one.
  const TileBackup kept = *step.tiles[0];
  for (size_t i = 1; i < n; ++i) {
    TileBackup& previous = *step.tiles[i - 1];
    const TileBackup& current = *step.tiles[i];
    const Rect rect = TileRect(current.column, current.row);
    surface.GetRect(rect, previous.pixels);
    surface.SetRect(rect, current.pixels);
    previous.column = current.column;
    previous.row = current.row;
  }
  TileBackup& last = *step.tiles[n - 1];
  const Rect rect = TileRect(kept.column, kept.row);
  surface.GetRect(rect, last.pixels);
  surface.SetRect(rect, kept.pixels);
  last.column = kept.column;
  last.row = kept.row;
  surface.SetRestoring(false);
}

// ---- UndoStack --------------------------------------------------------------------------

const UndoStep* UndoStack::Step(size_t index) const {
  return index < m_steps.size() ? m_steps[index].get() : nullptr;
}

UndoStep* UndoStack::Step(size_t index) { return index < m_steps.size() ? m_steps[index].get() : nullptr; }

int32_t UndoStack::PushUndoStep(ImageSurface& surface, bool writeNow) {
  // A new change after some undos makes the undone steps unreachable.
  if (m_steps.size() > static_cast<size_t>(m_position)) m_steps.erase(m_steps.begin() + m_position, m_steps.end());
  auto step = std::make_unique<UndoStep>();
  step->tiles = surface.TakeSavedTiles();
  if (step->tiles.empty()) return 0;
  if (g_recordedHandler) g_recordedHandler(surface);
  UndoStep& added = *step;
  m_steps.push_back(std::move(step));
  ++m_position;
  if (writeNow) return SpillNow(added);
  SpillLater(added);
  return 0;
}

int32_t UndoStack::Undo(ImageSurface& surface) {
  if (m_position < 1) return -1;
  --m_position;
  surface.RevertUncommitted();
  UndoStep& step = *m_steps[static_cast<size_t>(m_position)];
  if (Reload(step) != 0) return -1;
  step.Apply(surface);
  SpillNow(step);
  return 0;
}

int32_t UndoStack::Redo(ImageSurface& surface) {
  surface.RevertUncommitted();
  if (static_cast<size_t>(m_position) >= m_steps.size()) return 0;
  UndoStep& step = *m_steps[static_cast<size_t>(m_position)];
  if (Reload(step) != 0) return -1;
  step.Apply(surface);
  ++m_position;
  SpillNow(step);
  return 0;
}

void UndoStack::PushStep(ImageSurface& surface, std::unique_ptr<UndoStep> step) {
  if (m_steps.size() > static_cast<size_t>(m_position)) m_steps.erase(m_steps.begin() + m_position, m_steps.end());
  if (!step) return;
  if (g_recordedHandler) g_recordedHandler(surface);
  UndoStep& added = *step;
  m_steps.push_back(std::move(step));
  ++m_position;
  SpillLater(added);
}

void UndoStack::ClearHistory() {
  m_steps.clear();
  m_position = 0;
}

}  // namespace varnel

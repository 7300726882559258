#pragma once
// Recovery copies of open documents. While the program runs, every modified picture is written
// now and then as a layer file into the recovery folder, beside a small text file naming the
// picture's own path and title. A clean end removes them; what a run that crashed left behind
// is offered at the next start.
//
// A copy is made in two halves: a snapshot of the canvas taken on the user-interface thread
// (attributes and masks at once, the pixels in slices so painting never waits long), then the
// layer file written from the snapshot on a background thread.
//
// Files: FOLDER/<pid>-<start>-<document>.vlb and .inf, where <start> is the process's start
// time in clock ticks after boot, so a later process that reuses the id is not taken for it.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/canvas.h"
#include "document/layer_file.h"

namespace varnel {

inline constexpr const char* kRecoveryQuestion = "前回異常終了した時の画像が見つかりました。開きますか？";
inline constexpr const char* kRecoveryDiscardQuestion = "開かなかった復旧用の画像を削除しますか？";

// The recovery folder of the user's data folder (UserDataFolder() + "/recovery"). Not created here.
std::string DefaultRecoveryFolder();

// One process, told apart from a later one that reuses its id.
struct ProcessIdentity {
  int64_t processId = 0;
  uint64_t startTicks = 0;  // field 22 of /proc/<pid>/stat
  std::string bootId;       // /proc/sys/kernel/random/boot_id
  bool operator==(const ProcessIdentity&) const = default;

  static ProcessIdentity Current();
  // The identity of a running process; processId 0 when there is none with that id.
  static ProcessIdentity Of(int64_t processId);
  // True while this very process runs: same boot, same id, same start time.
  bool IsRunning() const;
};

// What the text file beside a copy keeps. Text is UTF-8.
struct RecoveryInfo {
  std::string originalPath;  // empty for a picture never saved
  std::string title;
  std::string bootId;
  bool operator==(const RecoveryInfo&) const = default;
};
std::string FormatRecoveryInfo(const RecoveryInfo& info);
// False for a text that is not such a file (missing first line, bad escape).
bool ParseRecoveryInfo(std::string_view text, RecoveryInfo& info);

// A copy left by a run that is gone.
struct RecoveryEntry {
  std::string picturePath;
  std::string infoPath;
  ProcessIdentity owner;  // bootId from the text file
  uint64_t document = 0;
  RecoveryInfo info;      // title and path empty when the text file is missing
};

// A picture's layers copied for writing elsewhere. The layers own their pixels and masks;
// nothing in it refers to the canvas once complete.
class CanvasSnapshot {
 public:
  enum class Progress { kMore, kComplete, kStale };

  // Copies the layer attributes, their masks and the composite's preview, and makes room for
  // the pixels, which Step copies. Null without layers or memory.
  static std::unique_ptr<CanvasSnapshot> Begin(const Canvas& canvas, const GridSettings& grid);
  // Begin, then every pixel at once.
  static std::unique_ptr<CanvasSnapshot> Take(const Canvas& canvas, const GridSettings& grid);

  // Copies about maxBytes more of the pixels (at least one row). kStale when the canvas no
  // longer has the layers Begin saw (the snapshot must be thrown away); the caller restarts
  // too when the picture changed between steps.
  Progress Step(const Canvas& canvas, size_t maxBytes);
  bool IsComplete() const { return m_layer >= m_layers.size(); }
  // Pixel bytes copied so far; a step that leaves it unchanged waited for pages in vain.
  uint64_t CopiedBytes() const { return m_copied; }

  LayerRefs Layers() const;
  Size CanvasSize() const { return m_canvasSize; }
  const ImageSurface& Preview() const { return m_preview; }
  const GridSettings& Grid() const { return m_grid; }
  uint64_t PixelBytes() const { return m_totalBytes; }

  ~CanvasSnapshot();
  CanvasSnapshot(const CanvasSnapshot&) = delete;
  CanvasSnapshot& operator=(const CanvasSnapshot&) = delete;

 private:
  CanvasSnapshot() = default;
  static std::unique_ptr<CanvasSnapshot> Make(const Canvas& canvas, const GridSettings& grid);
  // Has the system give the copies their pages ahead of Step, on a thread of its own: a page
  // fault may stall for tens of milliseconds, which the user-interface thread must not wait.
  void StartPrefault();

  LayerList m_layers;
  std::vector<const Layer*> m_sources;  // compared by address only, never followed
  Size m_canvasSize;
  ImageSurface m_preview;
  GridSettings m_grid;
  uint64_t m_totalBytes = 0;
  size_t m_layer = 0;    // the layer whose pixels are being copied
  uint64_t m_offset = 0;  // bytes of it copied so far
  uint64_t m_copied = 0;  // bytes of all layers copied so far
  std::thread m_prefault;
  std::atomic<uint64_t> m_prefaulted{0};  // bytes, in Step's order, whose pages are in place
  std::atomic<bool> m_stopPrefault{false};
};

// The recovery folder of one process.
class RecoveryStore {
 public:
  explicit RecoveryStore(std::string folder = DefaultRecoveryFolder(), ProcessIdentity self = ProcessIdentity::Current());

  const std::string& Folder() const { return m_folder; }
  const ProcessIdentity& Self() const { return m_self; }
  std::string PicturePath(uint64_t document) const;
  std::string InfoPath(uint64_t document) const;

  // Writes the text file, then the picture, each under a temporary name renamed into place;
  // the folder is made first when missing. False (what was there kept) on any file error.
  // Safe on any thread.
  bool Write(uint64_t document, const CanvasSnapshot& snapshot, const RecoveryInfo& info) const;
  void Remove(uint64_t document) const;
  // Every copy of this process (a clean end).
  void RemoveOwn() const;
  // The copies whose process no longer runs, oldest first. Text files left without their
  // picture by such a run are removed on the way.
  std::vector<RecoveryEntry> ListAbandoned() const;
  static void Remove(const RecoveryEntry& entry);

 private:
  std::string BaseName(uint64_t document) const;

  std::string m_folder;
  ProcessIdentity m_self;
};

// The one background thread that writes the copies. Writes never overlap, and a document has
// at most one write waiting or running.
class RecoveryWriter {
 public:
  // Called on the writer thread after each write with the document and whether it was written.
  using WrittenHandler = std::function<void(uint64_t document, bool written)>;

  explicit RecoveryWriter(const RecoveryStore& store, WrittenHandler onWritten = {});
  // Lets the running write finish; writes still waiting are dropped.
  ~RecoveryWriter();
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  // Queues a write; false (and the snapshot dropped) while the document's previous write is
  // still waiting or running.
  bool Submit(uint64_t document, std::unique_ptr<CanvasSnapshot> snapshot, RecoveryInfo info);
  bool IsBusy(uint64_t document) const;
  // Removes the document's copy; a write of it waiting is dropped, one running is removed when
  // it ends.
  void Remove(uint64_t document);
  // Returns once nothing waits and nothing runs.
  void WaitIdle();

 private:
  struct Job {
    uint64_t document;
    std::unique_ptr<CanvasSnapshot> snapshot;
    RecoveryInfo info;
  };
  void Run();

  const RecoveryStore& m_store;
  WrittenHandler m_onWritten;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<Job> m_jobs;           // LOCKING: m_mutex, as every member below
  std::set<uint64_t> m_busy;        // waiting or running
  std::set<uint64_t> m_discarded;   // removed while running
  bool m_running = false;
  bool m_stop = false;
  std::thread m_thread;  // last: starts once everything above is made
};

}  // namespace varnel

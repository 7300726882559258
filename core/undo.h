#pragma once
// The undo history of one surface. A step is the set of 16 x 16 tiles one change touched,
// as they were before it; applying a step exchanges those tiles with the surface's, so the
// same step serves for undo and, afterwards, for redo.
//
// Steps leave memory as soon as they are recorded: a background thread (the spill writer)
// writes each to a temporary file "vnt<number>.tmp", and the step is read back only when it
// is applied. A long history costs disk space, not memory.
//
// Step file, little-endian: tile count n (4 bytes), then n records of 1032 bytes, each a
// TileBackup as it lies in memory (256 BGRA pixels top row first, then column and row).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk/varnel_image.h"

namespace varnel {

class ImageSurface;

inline constexpr size_t kTileRecordBytes = sizeof(TileBackup);  // 1032
inline constexpr const char* kUndoFilePrefix = "vnt";

class UndoStep {
 public:
  UndoStep() = default;
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;
  // Waits for the writer if it holds the step, returns the tiles to Memwell and deletes the
  // step's file when the tiles are only there.
  virtual ~UndoStep();
  // Reads the tiles from an open step file. -1 when the file is short or malformed; then no
  // tiles are kept.
  virtual int32_t Read(int fd);
  // Writes the tiles to an open file and, on success, gives their blocks back (by way of the
  // spill writer when it runs). -1 when a write fails or the writer was asked to abort; the
  // tiles then stay.
  virtual int32_t Write(int fd);
  // Applies the step to the surface whose history holds it. The same call serves undo and
  // redo: afterwards the step holds what it replaced. A tile step exchanges its tiles.
  virtual void Apply(ImageSurface& surface);
  // Whether the step's content goes to a step file. Steps that hold no tiles (a selection
  // change) stay in memory: spilling, reloading and the writer leave them alone.
  virtual bool IsSpillable() const { return true; }

  bool IsBusy() const { return busy.load(std::memory_order_acquire); }
  int32_t TileCount() const { return static_cast<int32_t>(tiles.size()); }

  std::atomic<bool> busy{false};  // the writer holds the step
  bool resident = true;           // the tiles are in memory (else only in the file)
  uint32_t fileNumber = 0;        // the step file's number, kept to rebuild its name
  std::vector<TileBackup*> tiles;
};

class UndoStack {
 public:
  UndoStack() = default;
  UndoStack(const UndoStack&) = delete;
  UndoStack& operator=(const UndoStack&) = delete;

  // Steps below the position are applied (can be undone); those from it on can be redone.
  int32_t Position() const { return m_position; }
  size_t StepCount() const { return m_steps.size(); }
  const UndoStep* Step(size_t index) const;
  UndoStep* Step(size_t index);

  // Records the surface's saved tiles as a new step at the position, discarding the redo
  // branch first (even when the new step turns out empty). With writeNow the step is written
  // at once and the write's result answered; otherwise the writer takes it in the background.
  int32_t PushUndoStep(ImageSurface& surface, bool writeNow);
  // Records a ready-made step at the position, after the same discarding of the redo branch,
  // and reports it as a recorded change. The step is taken as already applied. A spillable
  // step goes to the writer in the background. A null step only discards the redo branch.
  void PushStep(ImageSurface& surface, std::unique_ptr<UndoStep> step);
  // -1 when nothing can be undone or the step cannot be read back, else 0.
  int32_t Undo(ImageSurface& surface);
  // 0 when nothing can be redone, -1 when the step cannot be read back, else 0.
  int32_t Redo(ImageSurface& surface);
  void ClearHistory();

 private:
  std::vector<std::unique_ptr<UndoStep>> m_steps;
  int32_t m_position = 0;
};

// Applies a step: exchanges its tiles with the surface's, so that afterwards it holds the
// pixels it replaced. Widens the surface's dirty rectangle.
void ExchangeStep(ImageSurface& surface, UndoStep& step);

// Synchronous write of a resident step to a new step file. 0 also when not resident.
int32_t SpillNow(UndoStep& step);
// Hands a resident step to the writer. Never waits for a write: answers -1 (the step stays
// resident) when the writer is busy or not running.
int32_t SpillLater(UndoStep& step);
// Makes a step resident again, reading and deleting its file. A file that is gone leaves the
// step empty (answer 0): applying it then changes nothing.
int32_t Reload(UndoStep& step);

// The writer thread, started when the program starts and stopped when it exits.
void StartSpillWriter();
void StopSpillWriter();
bool IsSpillWriterRunning();

// Called when a non-empty step is recorded; the document layer marks its active document as
// modified. Runs on the thread that pushes.
void SetUndoStepRecordedHandler(std::function<void(ImageSurface&)> handler);

// The folder step files go to: TMPDIR (else /tmp) as read when the writer starts, or on the
// first write before that.
std::string UndoFolder();

// For tests: called before each tile a Write puts out, with the tile's index, on the thread
// that writes; and whether an abort has been asked for.
void SetSpillWriteHook(std::function<void(int32_t tile)> hook);
bool IsSpillAbortRequested();

}  // namespace varnel

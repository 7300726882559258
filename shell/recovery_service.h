#pragma once
// Recovery copies of the open pictures: every AUTOSAVEMINUTES minutes each modified picture is
// copied (in slices between events, so painting never waits more than a frame) and handed to
// the background writer; a picture saved or closed loses its copy; a clean end removes them all.
// At start the copies a crashed run left are offered back.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>

#include "document/recovery.h"
#include "platform/host.h"

namespace varnel {

class CVarnelApp;
class CVarnelDoc;

inline constexpr const char* kAutosaveMinutesKey = "AUTOSAVEMINUTES";
inline constexpr int32_t kDefaultAutosaveMinutes = 3;
inline constexpr int32_t kMaxAutosaveMinutes = 24 * 60;  // a day; the timer counts milliseconds in an int

class RecoveryService : public QObject {
  Q_OBJECT

 public:
  // minutes: 0 turns the copies off (what earlier runs left is offered all the same).
  RecoveryService(CVarnelApp& app, int32_t minutes, std::string folder = DefaultRecoveryFolder());
  // A clean end: lets the running write finish and removes every copy of this run.
  ~RecoveryService() override;

  // Asks whether to reopen what runs that ended abnormally left, opens the copies as modified
  // pictures without a file, named as before, and asks whether to delete the rest. Answers how
  // many were reopened.
  int OfferRecovery();
  // Starts copying every modified picture now (the timer's work).
  void AutosaveNow();
  // A change was recorded in some picture: a copy being taken starts over.
  void PictureChanged() { ++m_changes; }
  // Removes the copies of pictures that were saved since (also done every second).
  void RemoveCopiesOfSavedPictures();

  bool IsCopying() const { return m_current.snapshot != nullptr || !m_waiting.empty(); }
  // Returns once the writer has nothing left to write.
  void WaitForWriter() { m_writer->WaitIdle(); }
  const RecoveryStore& Store() const { return m_store; }
  // The document number a picture's copy is filed under (0 before its first copy).
  uint64_t DocumentNumber(const CVarnelDoc* doc) const;

  // Tests answer the questions here instead of a message box.
  static inline std::function<int(const char* question, uint32_t style)> askForTest;

  // The longest a slice of copying may hold the user-interface thread.
  static constexpr int kSliceMilliseconds = 8;

 private:
  struct Copy {
    QPointer<CVarnelDoc> doc;
    uint64_t number = 0;
    std::unique_ptr<CanvasSnapshot> snapshot;
    uint64_t changes = 0;  // m_changes when the snapshot began
    int restarts = 0;
  };

  int Ask(const char* question, uint32_t style) const;
  uint64_t NumberOf(CVarnelDoc* doc);
  void StartNext();
  void ContinueCopy();
  void DropInherited(uint64_t number);

  CVarnelApp& m_app;
  RecoveryStore m_store;
  std::unique_ptr<RecoveryWriter> m_writer;
  std::unique_ptr<Host> m_guard;  // keeps the writer thread off the widgets
  Host* m_previousHost = nullptr;
  QTimer m_autosave;
  QTimer m_housekeeping;
  std::map<uint64_t, QPointer<CVarnelDoc>> m_documents;  // by number
  std::deque<QPointer<CVarnelDoc>> m_waiting;            // to copy in this round
  std::set<uint64_t> m_copied;                           // handed to the writer since last removed
  // The crashed run's copies of the pictures reopened from them, by this run's number: kept
  // until this run has written its own copy, or the picture is saved or closed, so that a second
  // crash before then still finds them.
  std::map<uint64_t, RecoveryEntry> m_inherited;
  Copy m_current;
  uint64_t m_changes = 0;
  uint64_t m_nextNumber = 1;
};

}  // namespace varnel

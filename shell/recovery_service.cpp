#include "shell/recovery_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QThread>
#include <algorithm>

#include "shell/child_frame.h"
#include "shell/main_frame.h"
#include "shell/varnel_app.h"
#include "shell/varnel_doc.h"

namespace varnel {
namespace {

// Every slice copies whole megabytes at a time and looks at the clock in between.
constexpr size_t kCopyPiece = size_t{1} << 20;
// A copy that keeps being overtaken by changes waits for the next round after this many tries.
constexpr int kMaxRestarts = 3;
// While a button is held a stroke is under way: the copy waits that long and looks again.
constexpr int kStrokeWaitMilliseconds = 50;

// The layer-file writer reports its progress on the status bar, which only the user-interface
// thread may touch: from the writer thread that goes nowhere, and debug messages are posted.
class ForegroundHost final : public Host {
 public:
  explicit ForegroundHost(Host* next) : m_next(next) {}
  int MessageBox(std::string_view text, std::string_view caption, uint32_t style) override {
    return OnForeground() ? Next().MessageBox(text, caption, style) : DefaultAnswer(style);
  }
  void SetStatusText(std::string_view text) override {
    if (OnForeground()) Next().SetStatusText(text);
  }
  void SetProgress(int percent) override {
    if (OnForeground()) Next().SetProgress(percent);
  }
  void DebugMessage(int level, ColourRef colour, std::string_view text) override {
    if (OnForeground()) {
      Next().DebugMessage(level, colour, text);
      return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, level, colour, message = std::string(text)] { Next().DebugMessage(level, colour, message); },
        Qt::QueuedConnection);
  }
  void BeginWaitCursor() override {
    if (OnForeground()) Next().BeginWaitCursor();
  }
  void EndWaitCursor() override {
    if (OnForeground()) Next().EndWaitCursor();
  }

 private:
  static bool OnForeground() {
    return QCoreApplication::instance() == nullptr || QThread::currentThread() == QCoreApplication::instance()->thread();
  }
  Host& Next() { return m_next != nullptr ? *m_next : GetHost(); }
  Host* m_next;
};

}  // namespace

RecoveryService::RecoveryService(CVarnelApp& app, int32_t minutes, std::string folder)
    : m_app(app), m_store(std::move(folder)) {
  Host* current = &GetHost();
  m_guard = std::make_unique<ForegroundHost>(current);
  m_previousHost = SetHost(m_guard.get());
  m_writer = std::make_unique<RecoveryWriter>(m_store, [this](uint64_t number, bool written) {
    // On the writer's thread; once this run's copy is on disk the crashed run's one may go.
    if (written) QMetaObject::invokeMethod(this, [this, number] { DropInherited(number); }, Qt::QueuedConnection);
  });
  // A day at most: the timer counts milliseconds in an int.
  minutes = std::clamp(minutes, 0, kMaxAutosaveMinutes);
  connect(&m_autosave, &QTimer::timeout, this, &RecoveryService::AutosaveNow);
  if (minutes > 0) m_autosave.start(minutes * 60 * 1000);
  connect(&m_housekeeping, &QTimer::timeout, this, &RecoveryService::RemoveCopiesOfSavedPictures);
  m_housekeeping.start(1000);
}

RecoveryService::~RecoveryService() {
  m_autosave.stop();
  m_housekeeping.stop();
  m_current = {};
  m_writer.reset();
  m_store.RemoveOwn();
  // A clean end: the user has saved or let go of every reopened picture.
  for (const auto& [number, entry] : m_inherited) RecoveryStore::Remove(entry);
  if (&GetHost() == m_guard.get()) SetHost(m_previousHost);
}

int RecoveryService::Ask(const char* question, uint32_t style) const {
  if (askForTest) return askForTest(question, style);
  return GetHost().MessageBox(question, "", style);
}

uint64_t RecoveryService::DocumentNumber(const CVarnelDoc* doc) const {
  for (const auto& [number, known] : m_documents)
    if (known.data() == doc) return number;
  return 0;
}

uint64_t RecoveryService::NumberOf(CVarnelDoc* doc) {
  if (const uint64_t known = DocumentNumber(doc)) return known;
  const uint64_t number = m_nextNumber++;
  m_documents[number] = doc;
  // Closing the picture (saved, or its changes thrown away) ends its copy.
  connect(doc, &QObject::destroyed, this, [this, number] {
    m_writer->Remove(number);
    m_documents.erase(number);
    m_copied.erase(number);
    DropInherited(number);
  });
  return number;
}

void RecoveryService::DropInherited(uint64_t number) {
  const auto it = m_inherited.find(number);
  if (it == m_inherited.end()) return;
  RecoveryStore::Remove(it->second);
  m_inherited.erase(it);
}

int RecoveryService::OfferRecovery() {
  const std::vector<RecoveryEntry> entries = m_store.ListAbandoned();
  if (entries.empty()) return 0;
  std::vector<const RecoveryEntry*> left;
  int opened = 0;
  // The start's blank picture, still untouched: once recovered pictures are open it is only in
  // the way, and it would share the recovered untitled picture's name.
  std::vector<QPointer<CChildFrame>> blanks;
  if (CMainFrame* frame = m_app.MainFrame())
    for (CChildFrame* child : frame->ChildFrames())
      if (const CVarnelDoc* doc = child->GetActiveDocument(); doc && doc->PathName().isEmpty() && !doc->IsModified())
        blanks.emplace_back(child);
  if (Ask(kRecoveryQuestion, kMbYesNo | kMbIconQuestion) == kIdYes) {
    for (const RecoveryEntry& entry : entries) {
      auto doc = std::make_unique<CVarnelDoc>();
      if (!doc->OnOpenDocument(QString::fromStdString(entry.picturePath))) {
        left.push_back(&entry);
        continue;
      }
      // The picture has no file of its own yet: saving asks where, proposing the old name.
      QString title = QString::fromStdString(entry.info.title);
      if (title.isEmpty()) title = QString::fromStdString(entry.info.originalPath).section('/', -1);
      if (title.isEmpty()) title = QStringLiteral("復旧した画像");
      doc->SetTitle(title);
      doc->SetModifiedFlag(true);
      CVarnelDoc* shown = m_app.ShowDocument(std::move(doc));
      if (shown == nullptr) {
        left.push_back(&entry);
        continue;
      }
      // It is this run's picture now, copied under this run's name from here on; the crashed
      // run's copy stays until then.
      m_inherited[NumberOf(shown)] = entry;
      ++opened;
    }
  } else {
    for (const RecoveryEntry& entry : entries) left.push_back(&entry);
  }
  for (const QPointer<CChildFrame>& blank : blanks)
    if (opened > 0 && blank && !blank->GetActiveDocument()->IsModified()) blank->close();
  if (!left.empty() && Ask(kRecoveryDiscardQuestion, kMbYesNo | kMbIconQuestion) == kIdYes)
    for (const RecoveryEntry* entry : left) RecoveryStore::Remove(*entry);
  return opened;
}

void RecoveryService::AutosaveNow() {
  if (IsCopying()) return;
  CMainFrame* frame = m_app.MainFrame();
  if (frame == nullptr) return;
  for (CChildFrame* child : frame->ChildFrames())
    if (CVarnelDoc* doc = child->GetActiveDocument(); doc != nullptr && doc->IsModified()) m_waiting.push_back(doc);
  StartNext();
}

void RecoveryService::StartNext() {
  while (!m_waiting.empty()) {
    QPointer<CVarnelDoc> doc = m_waiting.front();
    m_waiting.pop_front();
    if (!doc || !doc->IsModified()) continue;
    const uint64_t number = NumberOf(doc);
    // The previous copy of this picture is still being written: this round passes it by.
    if (m_writer->IsBusy(number)) continue;
    auto snapshot = CanvasSnapshot::Begin(doc->GetCanvas(), doc->Grid());
    if (!snapshot) continue;
    m_current = {doc, number, std::move(snapshot), m_changes, 0};
    QTimer::singleShot(0, this, &RecoveryService::ContinueCopy);
    return;
  }
}

void RecoveryService::ContinueCopy() {
  if (!m_current.snapshot) return;
  CVarnelDoc* doc = m_current.doc.data();
  if (doc == nullptr) {
    m_current = {};
    StartNext();
    return;
  }
  if (QGuiApplication::mouseButtons() != Qt::NoButton) {
    QTimer::singleShot(kStrokeWaitMilliseconds, this, &RecoveryService::ContinueCopy);
    return;
  }
  const Canvas& canvas = doc->GetCanvas();
  if (m_current.changes != m_changes) {
    // The picture may have changed under the rows already copied: begin again.
    if (++m_current.restarts > kMaxRestarts) {
      m_current = {};
      StartNext();
      return;
    }
    m_current.snapshot = CanvasSnapshot::Begin(canvas, doc->Grid());
    m_current.changes = m_changes;
    if (!m_current.snapshot) {
      m_current = {};
      StartNext();
      return;
    }
  }
  QElapsedTimer clock;
  clock.start();
  CanvasSnapshot::Progress progress = CanvasSnapshot::Progress::kMore;
  bool waiting = false;
  while (progress == CanvasSnapshot::Progress::kMore && clock.elapsed() < kSliceMilliseconds && !waiting) {
    const uint64_t before = m_current.snapshot->CopiedBytes();
    progress = m_current.snapshot->Step(canvas, kCopyPiece);
    waiting = m_current.snapshot->CopiedBytes() == before;
  }
  if (progress == CanvasSnapshot::Progress::kMore) {
    // While the copy's pages are still being put in place, the next slice waits a little.
    QTimer::singleShot(waiting ? 2 : 0, this, &RecoveryService::ContinueCopy);
    return;
  }
  if (progress == CanvasSnapshot::Progress::kComplete) {
    RecoveryInfo info;
    info.originalPath = doc->PathName().toStdString();
    info.title = doc->Title().toStdString();
    if (m_writer->Submit(m_current.number, std::move(m_current.snapshot), std::move(info)))
      m_copied.insert(m_current.number);
  }
  m_current = {};
  StartNext();
}

void RecoveryService::RemoveCopiesOfSavedPictures() {
  const auto unsaved = [this](uint64_t number) {
    const auto doc = m_documents.find(number);
    return doc != m_documents.end() && doc->second && doc->second->IsModified();
  };
  std::erase_if(m_inherited, [&](const auto& item) {
    if (unsaved(item.first)) return false;
    RecoveryStore::Remove(item.second);
    return true;
  });
  std::erase_if(m_copied, [&](uint64_t number) {
    if (unsaved(number)) return false;
    m_writer->Remove(number);
    return true;
  });
}

}  // namespace varnel

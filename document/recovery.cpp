#include "document/recovery.h"

#include <signal.h>
#include <sys/mman.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "document/file_io.h"
#include "platform/program_folder.h"

namespace varnel {

namespace {
// MADV_POPULATE_WRITE (Linux 5.14): fault pages in writable without writing them.
constexpr int kPopulateWrite = 23;
}  // namespace
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kInfoHeader = "VarnelRecovery 1";
constexpr const char* kPictureExtension = "vlb";
constexpr const char* kInfoExtension = "inf";

std::string ReadSmallFile(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string CurrentBootId() {
  std::string id = ReadSmallFile("/proc/sys/kernel/random/boot_id", 64);
  while (!id.empty() && (id.back() == '\n' || id.back() == '\r')) id.pop_back();
  return id;
}

bool ParseUnsigned(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// "<pid>-<start>-<document>.<rest>": the owner and document of a file of the folder.
bool ParseFileName(std::string_view name, ProcessIdentity& owner, uint64_t& document, std::string_view& rest) {
  uint64_t numbers[3] = {};
  for (int i = 0; i < 3; ++i) {
    const size_t end = name.find(i < 2 ? '-' : '.');
    if (end == std::string_view::npos || !ParseUnsigned(name.substr(0, end), numbers[i])) return false;
    name.remove_prefix(end + 1);
  }
  if (numbers[0] == 0 || numbers[0] > INT32_MAX) return false;
  owner.processId = static_cast<int64_t>(numbers[0]);
  owner.startTicks = numbers[1];
  document = numbers[2];
  rest = name;
  return true;
}

void AppendEscaped(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
}

bool Unescape(std::string_view value, std::string& out) {
  out.clear();
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) return false;
    switch (value[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace

std::string DefaultRecoveryFolder() { return UserDataFolder() + "/recovery"; }

// ---- ProcessIdentity ----

ProcessIdentity ProcessIdentity::Current() { return Of(static_cast<int64_t>(::getpid())); }

ProcessIdentity ProcessIdentity::Of(int64_t processId) {
  ProcessIdentity identity;
  if (processId <= 0 || processId > INT32_MAX) return identity;
  const std::string stat = ReadSmallFile("/proc/" + std::to_string(processId) + "/stat", 4096);
  // The command name in field 2 may hold spaces and parentheses: count from the last ')'.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return identity;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && (fields >> field); ++i) {
    if (i == 22 && ParseUnsigned(field, identity.startTicks)) {
      identity.processId = processId;
      identity.bootId = CurrentBootId();
    }
  }
  return identity;
}

bool ProcessIdentity::IsRunning() const {
  const ProcessIdentity now = Of(processId);
  // A copy whose text file is lost has no boot to compare; its id and start time still tell.
  return now.processId != 0 && now.startTicks == startTicks && (bootId.empty() || bootId == now.bootId);
}

// ---- RecoveryInfo ----

std::string FormatRecoveryInfo(const RecoveryInfo& info) {
  std::string text(kInfoHeader);
  text += "\nboot ";
  AppendEscaped(text, info.bootId);
  text += "\npath ";
  AppendEscaped(text, info.originalPath);
  text += "\ntitle ";
  AppendEscaped(text, info.title);
  text += '\n';
  return text;
}

bool ParseRecoveryInfo(std::string_view text, RecoveryInfo& info) {
  RecoveryInfo parsed;
  bool first = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (first) {
      if (line != kInfoHeader) return false;
      first = false;
      continue;
    }
    const size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    std::string* field = key == "boot" ? &parsed.bootId : key == "path" ? &parsed.originalPath
                         : key == "title" ? &parsed.title : nullptr;
    // Keys a later version adds are passed over.
    if (field != nullptr && !Unescape(value, *field)) return false;
  }
  if (first) return false;
  info = std::move(parsed);
  return true;
}

// ---- CanvasSnapshot ----

std::unique_ptr<CanvasSnapshot> CanvasSnapshot::Make(const Canvas& canvas, const GridSettings& grid) {
  if (canvas.LayerCount() < 1) return nullptr;
  std::unique_ptr<CanvasSnapshot> snapshot(new CanvasSnapshot);
  snapshot->m_canvasSize = canvas.GetSize();
  snapshot->m_grid = grid;
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
    const Layer* source = canvas.GetLayer(i);
    if (source == nullptr) return nullptr;
    auto copy = std::make_unique<Layer>();
    copy->TakeNameOf(*source);
    copy->SetBlendMode(source->BlendMode());
    copy->SetVisible(source->IsVisible());
    copy->SetOpacity(source->Opacity());
    copy->SetOffset(source->OffsetX(), source->OffsetY());
    // The room is only reserved here; the system gives it pages as Step fills them.
    if (source->Bits() != nullptr && source->Width() > 0 && source->Height() > 0) {
      if (copy->CreateUnfilled({source->Width(), source->Height()}) != 0) return nullptr;
      snapshot->m_totalBytes += static_cast<uint64_t>(source->Width()) * static_cast<uint64_t>(source->Height()) * 4;
    }
    // Masks are copied whole: they are usually small, and their copies are files anyway.
    for (int32_t m = 0; m < source->Masks().Count(); ++m) {
      Region mask;
      if (source->Masks().ReadMask(m, mask) == 0 && !mask.IsEmpty()) copy->Masks().AddMask(mask);
    }
    snapshot->m_sources.push_back(source);
    snapshot->m_layers.push_back(std::move(copy));
  }
  MakeFilePreview(canvas.Composite(), snapshot->m_preview);
  snapshot->m_layer = 0;
  snapshot->m_offset = 0;
  // Without a prefault thread every page is Step's to fault.
  snapshot->m_prefaulted = snapshot->m_totalBytes;
  return snapshot;
}

std::unique_ptr<CanvasSnapshot> CanvasSnapshot::Begin(const Canvas& canvas, const GridSettings& grid) {
  auto snapshot = Make(canvas, grid);
  if (snapshot) snapshot->StartPrefault();
  return snapshot;
}

CanvasSnapshot::~CanvasSnapshot() {
  m_stopPrefault = true;
  if (m_prefault.joinable()) m_prefault.join();
}

void CanvasSnapshot::StartPrefault() {
  m_prefaulted = 0;
  m_prefault = std::thread([this] {
    constexpr uint64_t kChunk = uint64_t{4} << 20;
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uint64_t done = 0;
    for (const auto& layer : m_layers) {
      if (layer->Bits() == nullptr) continue;
      const uint64_t bytes = static_cast<uint64_t>(layer->Width()) * static_cast<uint64_t>(layer->Height()) * 4;
      for (uint64_t at = 0; at < bytes; at += kChunk) {
        if (m_stopPrefault) return;
        const uint64_t length = std::min(kChunk, bytes - at);
        // Only whole pages inside the chunk: the pages at its ends are shared with
        // neighbours and fault in when copied. The contents are never touched here.
        const uintptr_t begin = reinterpret_cast<uintptr_t>(layer->Bits()) + at;
        const uintptr_t first = (begin + page - 1) & ~(page - 1), last = (begin + length) & ~(page - 1);
        if (last > first && madvise(reinterpret_cast<void*>(first), last - first, kPopulateWrite) != 0) {
          m_prefaulted = m_totalBytes;  // an older system: Step faults its pages itself
          return;
        }
        done += length;
        m_prefaulted = done;
      }
    }
    m_prefaulted = m_totalBytes;
  });
}

std::unique_ptr<CanvasSnapshot> CanvasSnapshot::Take(const Canvas& canvas, const GridSettings& grid) {
  // All at once: nothing to run ahead of.
  auto snapshot = Make(canvas, grid);
  if (snapshot && snapshot->Step(canvas, SIZE_MAX) != Progress::kComplete) return nullptr;
  return snapshot;
}

CanvasSnapshot::Progress CanvasSnapshot::Step(const Canvas& canvas, size_t maxBytes) {
  uint64_t budget = std::max<uint64_t>(maxBytes, 1);
  // Every layer is checked, not only the one being copied: a step may end before it gets to a
  // layer that changed, and the snapshot is stale all the same.
  if (canvas.LayerCount() != static_cast<int32_t>(m_layers.size())) return Progress::kStale;
  for (size_t i = 0; i < m_layers.size(); ++i) {
    const Layer* source = canvas.GetLayer(static_cast<int32_t>(i));
    const Layer& copy = *m_layers[i];
    if (source != m_sources[i] || source->Width() != copy.Width() || source->Height() != copy.Height() ||
        (source->Bits() == nullptr) != (copy.Bits() == nullptr))
      return Progress::kStale;
  }
  while (m_layer < m_layers.size()) {
    const Layer* source = canvas.GetLayer(static_cast<int32_t>(m_layer));
    Layer& copy = *m_layers[m_layer];
    const uint64_t total = copy.Bits() == nullptr
                               ? 0
                               : static_cast<uint64_t>(copy.Width()) * static_cast<uint64_t>(copy.Height()) * 4;
    // Whole rows, at least one, so a step always moves on.
    const uint64_t row = static_cast<uint64_t>(std::max(copy.Width(), 1)) * 4;
    // Only as far as the pages are in place: the prefault thread is given a moment to get ahead,
    // and the step ends without copying when it has not (the caller comes back later).
    uint64_t ready = 0;
    for (const auto waitUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);;) {
      const uint64_t prefaulted = m_prefaulted.load();
      ready = prefaulted > m_copied ? prefaulted - m_copied : 0;
      if (ready >= row || prefaulted >= m_totalBytes || std::chrono::steady_clock::now() >= waitUntil) break;
      std::this_thread::yield();
    }
    if (ready < row && m_prefaulted.load() < m_totalBytes) break;
    const uint64_t allowed = ready >= row ? std::min(budget, ready) : budget;
    const uint64_t rows = std::max<uint64_t>(allowed / row, 1);
    const uint64_t bytes = std::min(total - m_offset, rows * row);
    if (bytes > 0) std::memcpy(copy.Bits() + m_offset, source->Bits() + m_offset, static_cast<size_t>(bytes));
    m_offset += bytes;
    m_copied += bytes;
    budget = budget > bytes ? budget - bytes : 0;
    if (m_offset >= total) {
      ++m_layer;
      m_offset = 0;
    }
    if (budget == 0) break;
  }
  return IsComplete() ? Progress::kComplete : Progress::kMore;
}

LayerRefs CanvasSnapshot::Layers() const {
  LayerRefs refs;
  for (const auto& layer : m_layers) refs.push_back(layer.get());
  return refs;
}

// ---- RecoveryStore ----

RecoveryStore::RecoveryStore(std::string folder, ProcessIdentity self)
    : m_folder(std::move(folder)), m_self(std::move(self)) {}

std::string RecoveryStore::BaseName(uint64_t document) const {
  return m_folder + "/" + std::to_string(m_self.processId) + "-" + std::to_string(m_self.startTicks) + "-" +
         std::to_string(document) + ".";
}

std::string RecoveryStore::PicturePath(uint64_t document) const { return BaseName(document) + kPictureExtension; }
std::string RecoveryStore::InfoPath(uint64_t document) const { return BaseName(document) + kInfoExtension; }

bool RecoveryStore::Write(uint64_t document, const CanvasSnapshot& snapshot, const RecoveryInfo& info) const {
  if (!snapshot.IsComplete()) return false;
  std::error_code error;
  if (!fs::is_directory(m_folder, error)) {
    fs::create_directories(m_folder, error);
    if (error) return false;
    // The pictures are the user's own: nobody else reads them.
    ::chmod(m_folder.c_str(), 0700);
  }
  try {
    RecoveryInfo withBoot = info;
    withBoot.bootId = m_self.bootId;
    const std::string text = FormatRecoveryInfo(withBoot);
    FileWriter out;
    out.Create(InfoPath(document));
    out.Write(text.data(), text.size());
    out.Commit();
    const Size size = snapshot.CanvasSize();
    return WriteLayerFile(PicturePath(document), snapshot.Layers(), size.width, size.height, snapshot.Preview(),
                          snapshot.Grid()) == 0;
  } catch (const FileError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RecoveryStore::Remove(uint64_t document) const {
  RemoveFile(PicturePath(document));
  RemoveFile(InfoPath(document));
}

void RecoveryStore::Remove(const RecoveryEntry& entry) {
  RemoveFile(entry.picturePath);
  RemoveFile(entry.infoPath);
}

void RecoveryStore::RemoveOwn() const {
  std::error_code error;
  for (const auto& item : fs::directory_iterator(m_folder, error)) {
    ProcessIdentity owner;
    uint64_t document = 0;
    std::string_view rest;
    const std::string name = item.path().filename().string();
    if (ParseFileName(name, owner, document, rest) && owner.processId == m_self.processId &&
        owner.startTicks == m_self.startTicks)
      RemoveFile(item.path().string());
  }
}

namespace {

// A temporary file that a write of a process now gone left behind (see TemporaryNamePrefix).
bool IsAbandonedTemporary(const std::string& name) {
  if (!name.starts_with(".vn") || !name.ends_with(".tmp")) return false;
  const size_t dash = name.find('-', 3);
  if (dash == std::string::npos || dash == 3 || dash - 3 > 9) return false;
  int process = 0;
  for (size_t i = 3; i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    process = process * 10 + (name[i] - '0');
  }
  return process > 0 && name.starts_with(TemporaryNamePrefix(process)) && ::kill(process, 0) != 0 && errno == ESRCH;
}

}  // namespace

std::vector<RecoveryEntry> RecoveryStore::ListAbandoned() const {
  struct Found {
    RecoveryEntry entry;
    bool picture = false;
    bool info = false;
    fs::file_time_type time{};
  };
  std::map<std::string, Found> found;  // by "<pid>-<start>-<document>"
  std::vector<std::string> strays;
  std::vector<std::string> abandoned;  // what a write of a process now gone left
  std::error_code error;
  for (const auto& item : fs::directory_iterator(m_folder, error)) {
    ProcessIdentity owner;
    uint64_t document = 0;
    std::string_view rest;
    const std::string name = item.path().filename().string();
    if (!ParseFileName(name, owner, document, rest)) {
      if (IsAbandonedTemporary(name)) abandoned.push_back(item.path().string());
      continue;
    }
    const std::string key = name.substr(0, name.size() - rest.size() - 1);
    Found& f = found[key];
    f.entry.owner = owner;
    f.entry.document = document;
    const std::string base = m_folder + "/" + key + ".";
    f.entry.picturePath = base + kPictureExtension;
    f.entry.infoPath = base + kInfoExtension;
    if (rest == kPictureExtension) {
      f.picture = true;
      std::error_code timeError;
      f.time = fs::last_write_time(item.path(), timeError);
    } else if (rest == kInfoExtension) {
      f.info = true;
    } else {
      strays.push_back(item.path().string());  // a temporary file of an unfinished write
    }
  }
  for (const std::string& path : abandoned) RemoveFile(path);
  std::vector<Found> dead;
  for (auto& [key, f] : found) {
    if (f.info) ParseRecoveryInfo(ReadSmallFile(f.entry.infoPath, 1 << 20), f.entry.info);
    f.entry.owner.bootId = f.entry.info.bootId;
    if (f.entry.owner.IsRunning()) continue;
    // What a crashed write left: its temporary files, and a text file without its picture.
    const std::string prefix = m_folder + "/" + key + ".";
    for (const std::string& stray : strays)
      if (stray.compare(0, prefix.size(), prefix) == 0) RemoveFile(stray);
    if (!f.picture) {
      RemoveFile(f.entry.infoPath);
      continue;
    }
    dead.push_back(std::move(f));
  }
  std::stable_sort(dead.begin(), dead.end(), [](const Found& a, const Found& b) { return a.time < b.time; });
  std::vector<RecoveryEntry> entries;
  for (Found& f : dead) entries.push_back(std::move(f.entry));
  return entries;
}

// ---- RecoveryWriter ----

RecoveryWriter::RecoveryWriter(const RecoveryStore& store, WrittenHandler onWritten)
    : m_store(store), m_onWritten(std::move(onWritten)), m_thread([this] { Run(); }) {}

RecoveryWriter::~RecoveryWriter() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_jobs.clear();
  }
  m_wake.notify_all();
  m_thread.join();
}

bool RecoveryWriter::Submit(uint64_t document, std::unique_ptr<CanvasSnapshot> snapshot, RecoveryInfo info) {
  if (!snapshot || !snapshot->IsComplete()) return false;
  {
    std::lock_guard lock(m_mutex);
    if (m_stop || !m_busy.insert(document).second) return false;
    m_discarded.erase(document);
    m_jobs.push_back({document, std::move(snapshot), std::move(info)});
  }
  m_wake.notify_one();
  return true;
}

bool RecoveryWriter::IsBusy(uint64_t document) const {
  std::lock_guard lock(m_mutex);
  return m_busy.count(document) != 0;
}

void RecoveryWriter::Remove(uint64_t document) {
  std::unique_ptr<CanvasSnapshot> dropped;  // freed outside the lock
  {
    std::lock_guard lock(m_mutex);
    auto waiting = std::find_if(m_jobs.begin(), m_jobs.end(), [&](const Job& job) { return job.document == document; });
    if (waiting != m_jobs.end()) {
      dropped = std::move(waiting->snapshot);
      m_jobs.erase(waiting);
      m_busy.erase(document);
    } else if (m_busy.count(document) != 0) {
      m_discarded.insert(document);
    }
    if (m_busy.empty()) m_idle.notify_all();
  }
  m_store.Remove(document);
}

void RecoveryWriter::WaitIdle() {
  std::unique_lock lock(m_mutex);
  m_idle.wait(lock, [this] { return m_busy.empty(); });
}

void RecoveryWriter::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
    if (m_jobs.empty()) break;  // stopping
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    lock.unlock();
    const bool written = m_store.Write(job.document, *job.snapshot, job.info);
    job.snapshot.reset();
    if (m_onWritten) m_onWritten(job.document, written);
    lock.lock();
    // Saved or closed while it was being written: the copy must not outlive that.
    if (m_discarded.erase(job.document) != 0) m_store.Remove(job.document);
    m_busy.erase(job.document);
    if (m_busy.empty()) m_idle.notify_all();
  }
  m_busy.clear();
  m_idle.notify_all();
}

}  // namespace varnel

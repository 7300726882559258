#include "animorph/effect_host.h"

#include <cstring>
#include <utility>

#include "animorph/effects.h"
#include "platform/code_page.h"
#include "platform/program_folder.h"

namespace varnel {
EffectLibrary::EffectLibrary(std::string fileName, const std::string& path) : m_fileName(std::move(fileName)) {
  if (!m_library.Open(path)) return;
  const auto getName = m_library.Function<VarnelGetEffectName>("GetEffectName");
  m_create = m_library.Function<VarnelCreateEffectObject>("CreateEffectObject");
  m_delete = m_library.Function<VarnelDeleteEffectObject>("DeleteEffectObject");
  m_openConfig = m_library.Function<VarnelEffectOpenConfig>("OpenConfig");
  m_exec = m_library.Function<VarnelExecEffect>("ExecEffect");
  if (!getName) return;
  // A library that never stops listing would hang the host; no real one has this many.
  constexpr int32_t kMaxEffects = 4096;
  for (int32_t index = 0; index < kMaxEffects; ++index) {
    char name[VARNEL_EFFECT_NAME_SIZE] = {};
    int32_t result = -1;
    Guarded([&] { result = getName(index, name); });
    if (result == -1) break;
    m_effectNames.push_back(FromCodePage932Buffer(name, sizeof name));
  }
}

void* EffectLibrary::CreateObject(int32_t type) const {
  void* object = nullptr;
  if (m_create) Guarded([&] { object = m_create(type); });
  return object;
}

void EffectLibrary::DeleteObject(int32_t type, void* object) const {
  if (m_delete && object) Guarded([&] { m_delete(type, object); });
}

int32_t EffectLibrary::OpenConfig(void* owner, int32_t type, void* object) const {
  int32_t result = 0;
  if (m_openConfig) Guarded([&] { result = m_openConfig(owner, type, object); });
  return result;
}

int32_t EffectLibrary::Render(int32_t type, void* object, ImageSurface& destination, const ImageSurface& source,
                              int32_t k, int32_t n, int32_t* opacity) const {
  if (!m_exec || !destination.Bits() || !source.Bits()) return -1;
  int32_t result = -1;
  Guarded([&] {
    result = m_exec(type, object, &destination.Descriptor()->header, destination.Bits(), &source.Descriptor()->header,
                    source.Bits(), k, n, opacity);
  });
  destination.AddDirtyRect(0, 0, destination.Width() - 1, destination.Height() - 1);
  return result;
}

EffectLibraryList::EffectLibraryList(const std::string& folder) {
  for (const auto& [name, path] : LibraryFiles({folder})) m_libraries.push_back(std::make_unique<EffectLibrary>(name, path));
}

const EffectLibrary* EffectLibraryList::Find(std::string_view name) const {
  for (const auto& library : m_libraries)
    if (library->FileName() == name || library->FileName() == std::string(name) + ".so") return library.get();
  return nullptr;
}

EffectLibraryList& ProgramEffectLibraries() {
  // Never destroyed: the libraries stay loaded until the process ends.
  static EffectLibraryList* const libraries = new EffectLibraryList(ProgramPath("Animation/Effect"));
  return *libraries;
}

EffectInstance::EffectInstance(const EffectLibrary& library, int32_t type)
    : m_library(library), m_type(type), m_object(library.CreateObject(type)) {}

EffectInstance::~EffectInstance() { m_library.DeleteObject(m_type, m_object); }

VarnelEnlargeObject* EffectInstance::EnlargeObject() const {
  if (m_type != animorph::kEnlarge || !m_object || m_library.FileName() != kAnimorphLibrary) return nullptr;
  return static_cast<VarnelEnlargeObject*>(m_object);
}

bool EffectInstance::RenderFrame(const ImageSurface& source, const ImageSurface* start, int32_t k, int32_t n,
                                 ImageSurface& frame, int32_t& opacity) {
  if (frame.CreateUnfilled(source.GetSize()) != 0) return false;
  std::memset(frame.Bits(), 0, static_cast<size_t>(frame.Stride()) * frame.Height());
  if (start && start->Bits()) frame.CopyFrom(*start, Rect{0, 0, frame.Width() - 1, frame.Height() - 1});
  frame.DiscardBackups();
  opacity = 256;
  return m_library.Render(m_type, m_object, frame, source, k, n, &opacity) == 0;
}

}  // namespace varnel

#pragma once
// The program's side of the effect libraries: finds the libraries in Animation/Effect/, lists
// their effects and renders frames from the program's surfaces. Qt-free: the effect dialog and
// the command-line tool sit on top of it. Everything runs on the user-interface thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/surface.h"
#include "platform/dynamic_library.h"
#include "sdk/varnel_effect.h"

namespace varnel {

// One loaded effect library. Names cross the boundary in code page 932 and are UTF-8 here.
class EffectLibrary {
 public:
  // A file that cannot be loaded stays in the list and offers no effects.
  EffectLibrary(std::string fileName, const std::string& path);
  EffectLibrary(const EffectLibrary&) = delete;
  EffectLibrary& operator=(const EffectLibrary&) = delete;

  // As found on disk, with extension, without folder.
  const std::string& FileName() const { return m_fileName; }
  bool IsLoaded() const { return m_library.IsOpen(); }
  // GetEffectName with 0, 1, 2, … until it answers −1; an effect's type is its index here.
  const std::vector<std::string>& EffectNames() const { return m_effectNames; }
  bool HasEffect(int32_t type) const { return type >= 0 && type < static_cast<int32_t>(m_effectNames.size()); }

  // Null without CreateEffectObject or when the effect keeps no object.
  void* CreateObject(int32_t type) const;
  void DeleteObject(int32_t type, void* object) const;
  // OpenConfig's answer; 0 when the library has none.
  int32_t OpenConfig(void* owner, int32_t type, void* object) const;
  // ExecEffect on the surfaces' pixels: −1 without the export, with an empty surface or when
  // the effect fails. opacity may be null.
  int32_t Render(int32_t type, void* object, ImageSurface& destination, const ImageSurface& source, int32_t k,
                 int32_t n, int32_t* opacity) const;

 private:
  std::string m_fileName;
  DynamicLibrary m_library;
  std::vector<std::string> m_effectNames;
  VarnelCreateEffectObject m_create = nullptr;
  VarnelDeleteEffectObject m_delete = nullptr;
  VarnelEffectOpenConfig m_openConfig = nullptr;
  VarnelExecEffect m_exec = nullptr;
};

class EffectLibraryList {
 public:
  EffectLibraryList() = default;
  // Every "*.so" of folder, in the order the file system gives them.
  explicit EffectLibraryList(const std::string& folder);
  const std::vector<std::unique_ptr<EffectLibrary>>& Libraries() const { return m_libraries; }
  // Exact comparison of file names, or of the base name without ".so"; null when none matches.
  const EffectLibrary* Find(std::string_view name) const;

 private:
  std::vector<std::unique_ptr<EffectLibrary>> m_libraries;
};

// The program's Animation/Effect/ libraries, found on the first call and kept until exit.
EffectLibraryList& ProgramEffectLibraries();

inline constexpr const char* kAnimorphLibrary = "Animorph.so";

// One effect with its object, freed through its library when it goes.
class EffectInstance {
 public:
  EffectInstance(const EffectLibrary& library, int32_t type);
  ~EffectInstance();
  EffectInstance(const EffectInstance&) = delete;
  EffectInstance& operator=(const EffectInstance&) = delete;

  const EffectLibrary& Library() const { return m_library; }
  int32_t Type() const { return m_type; }
  void* Object() const { return m_object; }
  // The object as the enlargement's, or null for any other effect or another library's object.
  VarnelEnlargeObject* EnlargeObject() const;
  int32_t OpenConfig(void* owner) { return m_library.OpenConfig(owner, m_type, m_object); }

  // Frame k of n into a fresh picture of the source's size: a copy of start when it is given
  // (the part the two share; the rest every byte 0), else every byte 0. opacity is 256 unless
  // the effect sets it. False when the effect fails or memory runs out.
  bool RenderFrame(const ImageSurface& source, const ImageSurface* start, int32_t k, int32_t n,
                   ImageSurface& frame, int32_t& opacity);

 private:
  const EffectLibrary& m_library;
  int32_t m_type;
  void* m_object;
};

}  // namespace varnel

#pragma once
// Run-time loading of plug-in and component libraries (dlopen in place of LoadLibrary).

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnel {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  // Loads with RTLD_NOW | RTLD_LOCAL after mapping the name with ResolvePath. Closes what was
  // open before. Answers false (and keeps the loader's text in Error()) when loading fails.
  bool Open(std::string_view name);
  void Close();
  bool IsOpen() const { return m_handle != nullptr; }

  // A missing export is never an error: the answer is null.
  void* Symbol(const char* name) const;
  template <typename F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }

  const std::string& Error() const { return m_error; }
  const std::string& Path() const { return m_path; }

  // Maps a Windows library name to ours: separators become '/', "X.dll" becomes "X.so",
  // "X.ocx" becomes "X.so"; ".spi" and everything else keep their extension. A name without
  // a folder is looked for in the program folder first and, when it is not there, left to
  // the system's search; a relative name with a folder is taken below the program folder.
  static std::string ResolvePath(std::string_view name);

 private:
  void* m_handle = nullptr;
  std::string m_path;
  std::string m_error;
};

// Runs a call into a library so that no exception crosses into or out of it: a C++ plug-in
// that throws has left its work as far as it got.
template <typename Call>
void Guarded(Call&& call) {
  try {
    std::forward<Call>(call)();
  } catch (...) {
  }
}

// The "*.so" files of the folders, as file name and path, each folder in the file system's
// order; a name found again in a later folder keeps its place and takes the later path.
std::vector<std::pair<std::string, std::string>> LibraryFiles(const std::vector<std::string>& folders);

}  // namespace varnel

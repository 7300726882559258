#pragma once
// Where the program lives: the folder of the running executable, or VARNEL_HOME when set.

#include <string>
#include <string_view>

namespace varnel {

// The program folder without a trailing '/'. VARNEL_HOME wins when it is set and not empty;
// otherwise the folder of /proc/self/exe. Read anew on every call so tests can switch it.
std::string ProgramFolder();

// Turns a path written the Windows way ("\\Filter\\x.dll") into one with '/' separators.
std::string ToNativePath(std::string_view path);

// The program folder joined with a relative path in either spelling:
// ProgramPath("\\Filter\\") and ProgramPath("Filter/") both name <folder>/Filter/.
std::string ProgramPath(std::string_view relative);

}  // namespace varnel

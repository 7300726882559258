#pragma once
// Where the program lives: the folder of the running executable, or VARNEL_HOME when set.

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The program folder without a trailing '/'. VARNEL_HOME wins when it is set and not empty;
// otherwise the folder of /proc/self/exe. Read anew on every call so tests can switch it.
std::string ProgramFolder();

// Turns a path written the Windows way ("\\Filter\\x.dll") into one with '/' separators.
std::string ToNativePath(std::string_view path);

// The program folder joined with a relative path in either spelling:
// ProgramPath("\\Filter\\") and ProgramPath("Filter/") both name <folder>/Filter/.
std::string ProgramPath(std::string_view relative);

// An installed program folder is read-only, so what the program writes goes to the user's data
// folder instead. Running from a writable folder (build/bin) leaves the data folder out entirely.

// $XDG_DATA_HOME/varnel, else $HOME/.local/share/varnel; a relative XDG_DATA_HOME is ignored.
// Not created here.
std::string UserDataFolder();

// Whether a file can be created in the program folder, found by creating and removing a probe
// file (permission bits say nothing for root). Remembered per program folder and user.
bool ProgramFolderWritable();

// Where the program writes a file: ProgramPath(relative) while the program folder is writable,
// else the same relative path below the data folder. The folders above the file are created.
std::string WritablePath(std::string_view relative);

// Where the program reads a file it also writes: the data folder's copy when the program folder
// is read-only and that copy exists, else ProgramPath(relative).
std::string ReadablePath(std::string_view relative);

// The folders a listing of a folder of the program looks into, lowest precedence first: the
// program folder's, then (while the program folder is read-only) the data folder's; only those
// that exist. Where a file name is in both, the later folder's file wins.
std::vector<std::string> SearchFolders(std::string_view relative);

// The same for a full path the program keeps (a setting, a folder handed to a panel): a path
// below the program folder is treated as its relative path is; any other path is returned as it
// is (SearchFoldersFor: as the only folder).
std::string WritablePathFor(const std::string& path);
std::string ReadablePathFor(const std::string& path);
std::vector<std::string> SearchFoldersFor(const std::string& folder);

}  // namespace varnel

#pragma once
// Temporary files named like GetTempFileName's: prefix + unique number in hexadecimal + ".tmp".

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// $TMPDIR when set and not empty, else /tmp; without a trailing '/'.
std::string TempDirectory();

// Rebuilds the name of a temporary file from its prefix and number:
// TempDirectory() + "/" + prefix + uppercase hexadecimal number + ".tmp".
std::string TempFileName(std::string_view prefix, uint32_t number);

// Creates a new, empty file exclusively (so the number is unique among existing files) and
// answers its number, 1 to 0xFFFF; 0 when no file could be created. The caller keeps the
// number and removes the file when it is done with it.
uint32_t CreateTempFile(std::string_view prefix);

// The same in a given folder, for files whose name must be rebuilt later from the folder
// they were made in even if TMPDIR has changed since.
std::string TempFileName(std::string_view directory, std::string_view prefix, uint32_t number);
uint32_t CreateTempFile(std::string_view directory, std::string_view prefix);

}  // namespace varnel

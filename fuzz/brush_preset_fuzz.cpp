// Feeds arbitrary bytes to the brush preset reader, from a file and as text. Whatever it reads
// must write and read back to the same parameters.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "brush/brush_preset.h"
#include "fuzz/fuzz_files.h"
#include "document/file_io.h"
#include "platform/code_page.h"

namespace {

[[noreturn]] void Fail(const char* what) { fuzz::Fail("brush_preset_fuzz", what); }

// File names pass through code page 932 and lose leading white space on the way back; line
// breaks inside them cannot be written at all.
bool Writable(const std::string& name) {
  return name.find_first_of("\r\n") == std::string::npos && (name.empty() || (name[0] != ' ' && name[0] != '\t'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFiles files("brush_preset_fuzz");
  const fuzz::RemoveAfterInput cleanup{files};
  files.WriteInput(data, size);

  varnel::CustomBrushParams fromFile;
  if (!varnel::ReadPresetFile(files.input, fromFile)) Fail("cannot open the input file");
  varnel::CustomBrushParams fromText;
  varnel::ReadPresetText(std::string_view(reinterpret_cast<const char*>(data), size), fromText);

  if (!Writable(fromFile.shapeFile) || !Writable(fromFile.textureFile)) return 0;
  const std::string shapeOnDisk = varnel::FromCodePage932(varnel::ToCodePage932(fromFile.shapeFile));
  const std::string textureOnDisk = varnel::FromCodePage932(varnel::ToCodePage932(fromFile.textureFile));
  try {
    varnel::WritePresetFile(files.saved, fromFile);
  } catch (const varnel::FileError&) {
    Fail("cannot write a preset");
  }
  varnel::CustomBrushParams again;
  if (!varnel::ReadPresetFile(files.saved, again)) Fail("cannot read a written preset");
  varnel::CustomBrushParams expected = fromFile;
  expected.shapeFile = shapeOnDisk;
  expected.textureFile = textureOnDisk;
  if (!Writable(expected.shapeFile) || !Writable(expected.textureFile)) return 0;
  if (!(again == expected)) Fail("a written preset reads back differently");
  return 0;
}

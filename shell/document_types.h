#pragma once
// The two document types the program registers, with their type strings in the order the
// framework reads them: window title, new-document name, filter name, filter extension,
// file type id, file type description.

#include <array>
#include <cstdint>
#include <string_view>

namespace varnel {

enum class DocString : int {
  kWindowTitle = 0,
  kDocName = 1,
  kFileNewName = 2,
  kFilterName = 3,
  kFilterExt = 4,
  kRegFileTypeId = 5,
  kRegFileTypeName = 6,
};

struct DocumentType {
  std::string_view documentClass;  // CVarnelDoc, CChannelOpDoc
  std::string_view frameClass;     // CChildFrame
  std::string_view viewClass;      // CVarnelView; empty when the type's view is its own
  int32_t menuId;
  std::array<std::string_view, 7> strings;

  std::string_view String(DocString which) const { return strings[static_cast<int>(which)]; }
};

inline constexpr DocumentType kImageDocumentType{
    "CVarnelDoc", "CChildFrame", "CVarnelView", 129,
    {"", "Image", "Layer", "LayerFile (*.vlb)", ".vlb", "VarnelLayer", "Varnel Layer"}};

inline constexpr DocumentType kChannelDocumentType{
    "CChannelOpDoc", "CChildFrame", "", 295,
    {"", "Channel", "Channel", "", "", "VarnelChanel", "Varnel Channel"}};

}  // namespace varnel

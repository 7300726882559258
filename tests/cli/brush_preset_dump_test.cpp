// dump of brush preset files: every field by its keyword, in the writer's order.

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "brush/brush_preset.h"
#include "cli/commands.h"
#include "tests/document/test_files.h"

namespace varnel::cli {
namespace {

TEST(BrushPresetDump, ListsEveryKeywordWithItsValueInWriterOrder) {
  test::TempFolder folder;
  const std::string path = folder.File("p.BPP");
  // The shape name as the file holds it: code page 932 ("円" is 0x89 0x7E).
  const std::string text = "DENSITY= 12\r\nSHAPE=  \x89\x7E.bmp\r\nRANGERED= 4\r\n";
  test::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  std::ostringstream out, err;
  ASSERT_EQ(varnel::cli::Run(std::vector<std::string>{"dump", path}, out, err), kSuccess) << err.str();
  const auto json = nlohmann::ordered_json::parse(out.str());
  ASSERT_EQ(json.size(), 26u);
  EXPECT_EQ(json.begin().key(), "SHAPE");
  EXPECT_EQ((--json.end()).key(), "STROKE COLOR JITTER MODE");
  EXPECT_EQ(json["SHAPE"], "円.bmp");
  EXPECT_EQ(json["DENSITY"], 12);
  EXPECT_EQ(json["GATHER"], 64);  // not in the file: the default
  EXPECT_EQ(json["BUMP ANGLE"], 45);
}

}  // namespace
}  // namespace varnel::cli

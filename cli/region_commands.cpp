#include "cli/region_commands.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "document/region_file.h"

namespace varnel::cli {
namespace {

constexpr const char* kCannotRead = "領域ファイルが読み込めません";
constexpr const char* kCannotWrite = "領域ファイルを保存できません";

// WIDTHxHEIGHT, each side 1 to the largest region side.
bool ParseCanvas(std::string_view text, int32_t& width, int32_t& height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  return ParseInt(text.substr(0, x), 1, Region::kMaxExtent, width) &&
         ParseInt(text.substr(x + 1), 1, Region::kMaxExtent, height);
}

enum class Op { kGrow, kShrink, kTrim, kFlipVertical, kFlipHorizontal, kInvert, kFeather, kUnion, kSubtract };

struct OpName {
  std::string_view name;
  Op op;
  bool takesArgument;
};

constexpr OpName kOps[] = {
    {"grow", Op::kGrow, false},
    {"shrink", Op::kShrink, false},
    {"trim", Op::kTrim, false},
    {"flip-vertical", Op::kFlipVertical, false},
    {"flip-horizontal", Op::kFlipHorizontal, false},
    {"invert", Op::kInvert, true},
    {"feather", Op::kFeather, true},
    {"union", Op::kUnion, true},
    {"subtract", Op::kSubtract, true},
};

}  // namespace

bool HasRegionMagic(const std::string& path, bool& opened) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  opened = f != nullptr;
  if (f == nullptr) return false;
  char magic[4];
  const bool region = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic, "VRDB", 4) == 0;
  std::fclose(f);
  return region;
}

int DumpRegion(const Invocation& call, const std::string& path) {
  Region region;
  if (LoadRegionFile(path, region) != 0) return Fail(call, kCannotRead);
  // The mask can be as large as 65536 × 65536 bytes, so its hex is streamed rather than built
  // inside the JSON value: the value is written with an empty mask and the digits go between
  // its closing quotes.
  nlohmann::ordered_json head = {{"left", region.Left()},   {"top", region.Top()}, {"right", region.Right()},
                                 {"bottom", region.Bottom()}, {"mask", ""}};
  std::string text = head.dump();
  text.resize(text.size() - 2);  // drop `"}`
  call.out << text;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string line;
  for (int32_t r = 0; r < region.Height(); ++r) {
    const uint8_t* row = region.Row(r);
    line.clear();
    for (int32_t c = 0; c < region.Width(); ++c) {
      line += kHex[row[c] >> 4];
      line += kHex[row[c] & 0xF];
    }
    call.out << line;
  }
  call.out << "\"}\n";
  return kSuccess;
}

namespace {

// Grow, feather and union make a region larger than their source; one past the largest a
// region can be cannot be made, and must not pass for an empty result.
bool ResultFits(Op op, const Region& source, const Region& other, int32_t diameter) {
  if (source.IsEmpty()) return true;
  Rect reach = source.Bounds();
  int64_t spread = 0;
  if (op == Op::kGrow) spread = 2;
  if (op == Op::kFeather && diameter >= 2) spread = diameter;
  if (op == Op::kUnion) reach = reach.United(other.Bounds());
  const int64_t width = int64_t{reach.right} - reach.left + 1 + spread, height = int64_t{reach.bottom} - reach.top + 1 + spread;
  return width <= Region::kMaxExtent && height <= Region::kMaxExtent;
}

int RunRegionOp(const Invocation& call) {
  const std::vector<std::string>& args = call.arguments;
  for (const std::string& a : args) {
    if (a.starts_with("--")) return Usage(call, "unknown option '" + a + "'");
  }
  if (args.size() < 3) return Usage(call, "expects OP IN OUT [ARG]");
  const OpName* chosen = nullptr;
  for (const OpName& o : kOps) {
    if (o.name == args[0]) chosen = &o;
  }
  if (chosen == nullptr) return Usage(call, "unknown operation '" + args[0] + "'");
  if (args.size() != (chosen->takesArgument ? 4u : 3u)) {
    return Usage(call, std::string(chosen->name) + (chosen->takesArgument ? " expects IN OUT ARG" : " expects IN OUT"));
  }
  const std::string& in = args[1];
  const std::string& out = args[2];

  int32_t width = 0, height = 0, diameter = 0;
  if (chosen->op == Op::kInvert && !ParseCanvas(args[3], width, height)) {
    return Usage(call, "invert expects WIDTHxHEIGHT, each 1 to 65536");
  }
  if (chosen->op == Op::kFeather && !ParseInt(args[3], 0, Region::kMaxFeatherDiameter, diameter)) {
    return Usage(call, "feather expects a diameter of 0 to " + std::to_string(Region::kMaxFeatherDiameter));
  }

  Region source;
  if (LoadRegionFile(in, source) != 0) return Fail(call, kCannotRead);
  Region other;
  if ((chosen->op == Op::kUnion || chosen->op == Op::kSubtract) && LoadRegionFile(args[3], other) != 0) {
    return Fail(call, kCannotRead);
  }

  if (!ResultFits(chosen->op, source, other, diameter)) {
    return Fail(call, "the result would be wider or higher than " + std::to_string(Region::kMaxExtent) + " pixels");
  }

  // The source is not needed afterwards: the operations that keep it take its buffers, so a
  // large region is never held twice.
  Region result;
  switch (chosen->op) {
    case Op::kGrow:
      Region::Grow(source, result);
      result.TrimToContent();
      break;
    case Op::kShrink:
      Region::Shrink(source, result);
      break;
    case Op::kTrim:
      result.TakeFrom(source);
      result.TrimToContent();
      break;
    case Op::kFlipVertical:
      Region::FlipVertical(source, result);
      break;
    case Op::kFlipHorizontal:
      Region::FlipHorizontal(source, result);
      break;
    case Op::kInvert:
      // Without a source there is nothing to invert; the result is then empty.
      Region::Invert(source, width, height, result);
      result.TrimToContent();
      break;
    case Op::kFeather:
      // The feather command leaves a selection as it is below a diameter of 2.
      if (diameter < 2) {
        result.TakeFrom(source);
      } else {
        Region::Feather(source, diameter, result);
      }
      break;
    case Op::kUnion:
      result.TakeFrom(source);
      if (result.Union(other) != 0) return Fail(call, kNoMemory);
      break;
    case Op::kSubtract:
      result.TakeFrom(source);
      result.Subtract(other);
      break;
  }

  if (result.IsEmpty()) {
    call.out << "empty region\n";
    return kSuccess;
  }
  if (SaveRegionFile(out, result) != 0) return Fail(call, kCannotWrite);
  return kSuccess;
}

}  // namespace

int RunRegion(const Invocation& call) {
  try {
    return RunRegionOp(call);
  } catch (const std::bad_alloc&) {
    return Fail(call, kNoMemory);
  }
}

}  // namespace varnel::cli

#include "cli/cli_support.h"

#include <charconv>
#include <ostream>

namespace varnel::cli {

int Fail(const Invocation& call, std::string_view message) {
  // One line, whatever the message holds: a script's error text may span several.
  std::string line(message);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  call.err << "varnel-cli: " << line << '\n';
  return kFailed;
}

int Usage(const Invocation& call, std::string_view message) {
  call.err << "varnel-cli: " << call.command << ": " << message << " (see varnel-cli --help)\n";
  return kUsage;
}

bool HasExtension(std::string_view path, std::string_view extension) {
  if (path.size() < extension.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const std::string_view tail = path.substr(path.size() - extension.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    if (lower(tail[i]) != lower(extension[i])) return false;
  }
  return true;
}

bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value) {
  int32_t parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

const std::string* ParsedArguments::Value(std::string_view option) const {
  const std::string* found = nullptr;
  for (const auto& [name, value] : values) {
    if (name == option) found = &value;
  }
  return found;
}

bool ParseArguments(const Invocation& call, const std::set<std::string, std::less<>>& flags,
                    const std::set<std::string, std::less<>>& valued, ParsedArguments& parsed, int& status) {
  const std::vector<std::string>& args = call.arguments;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!a.starts_with("--")) {
      parsed.positional.push_back(a);
    } else if (flags.count(a)) {
      parsed.flags.insert(a);
    } else if (valued.count(a)) {
      if (i + 1 >= args.size()) {
        status = Usage(call, a + " needs a value");
        return false;
      }
      parsed.values.emplace_back(a, args[++i]);
    } else {
      status = Usage(call, "unknown option '" + a + "'");
      return false;
    }
  }
  return true;
}

bool ParseLayerOption(const ParsedArguments& args, int32_t& layerIndex) {
  const std::string* layer = args.Value("--layer");
  return layer == nullptr || ParseInt(*layer, 0, 0x7FFFFFFF, layerIndex);
}

void PrintJsonWithList(const Invocation& call, const nlohmann::ordered_json& head, const char* key, size_t count,
                       const std::function<nlohmann::ordered_json(size_t)>& item) {
  const auto text = [](const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  };
  std::string opening = text(head);
  opening.pop_back();  // the closing brace
  if (!head.empty()) opening += ',';
  call.out << opening << text(key) << ":[";
  for (size_t i = 0; i < count; ++i) call.out << (i == 0 ? "" : ",") << text(item(i));
  call.out << "]}\n";
}

}  // namespace varnel::cli

#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace varnel::test {

// Sets (or, with nullopt, unsets) an environment variable for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(m_old); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      setenv(m_name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(m_name.c_str());
    }
  }

  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace varnel::test

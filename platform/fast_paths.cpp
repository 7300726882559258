#include "platform/fast_paths.h"

#include <cstdlib>
#include <cstring>

namespace varnel {
namespace {

FastPaths Detect() {
  FastPaths paths;
  const char* force = std::getenv("VARNEL_FORCE_REFERENCE");
  paths.forceReference = force != nullptr && std::strcmp(force, "1") == 0;
#if defined(__x86_64__) || defined(__i386__)
  paths.avx2 = __builtin_cpu_supports("avx2");
#endif
  return paths;
}

}  // namespace

const FastPaths& GetFastPaths() {
  static const FastPaths paths = Detect();
  return paths;
}

}  // namespace varnel

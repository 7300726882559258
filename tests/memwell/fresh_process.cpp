#include "tests/memwell/fresh_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace varnel::testing {

void RunInFreshProcess(const std::function<void()>& body) {
  // Anything still buffered would otherwise be printed twice, once by each process.
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  ASSERT_NE(child, -1) << "fork failed";
  if (child == 0) {
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(child, &status, 0);
  } while (waited == -1 && errno == EINTR);
  ASSERT_EQ(waited, child);
  if (WIFSIGNALED(status)) {
    ADD_FAILURE() << "the child process died of signal " << WTERMSIG(status);
    return;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child process reported failures (see above)";
}

}  // namespace varnel::testing

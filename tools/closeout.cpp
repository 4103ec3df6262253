#include "tools/closeout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tools {

bool closestdout(const char* tool) {
  // An earlier write may have failed even when the last flush succeeds.
  const bool lost = std::ferror(stdout) != 0;
  errno = 0;
  if (std::fclose(stdout) == 0 && !lost) return true;
  if (errno != 0) {
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", tool,
                 std::strerror(errno));
  } else {
    std::fprintf(stderr, "%s: cannot write standard output\n", tool);
  }
  return false;
}

}  // namespace tools

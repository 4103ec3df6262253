// trackbuild TEXT OUTPUT: makes the board written as text in TEXT ("-" for
// standard input) into the board file OUTPUT. OUTPUT is written only when
// the whole text built. Exit status: 0 when written, 1 when the text cannot
// be read or built or OUTPUT not written, 2 for a usage error.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "board/boardtext.h"
#include "board/bytesources.h"
#include "tools/arguments.h"
#include "tools/closeout.h"

namespace {

constexpr char tool[] = "trackbuild";
constexpr char usage[] =
    "usage: trackbuild TEXT OUTPUT\n"
    "Makes the board written as text in TEXT (\"-\": standard input) into "
    "the\nboard file OUTPUT.\n";

// Builds the board in textpath ("-": standard input) and saves it as output;
// the exit status.
int build(const char* textpath, const char* output) {
  const bool fromstdin = std::strcmp(textpath, "-") == 0;
  const char* name = fromstdin ? "<stdin>" : textpath;
  const int fd = fromstdin ? STDIN_FILENO : ::open(textpath, O_RDONLY);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, name, std::strerror(errno));
    return 1;
  }
  std::vector<unsigned char> buffer(boards::boardpiecelength);
  int readerror = 0;
  boardtype board;
  const auto problems =
      boards::readboardtext(boards::filesource(fd, buffer, readerror), board);
  if (!fromstdin) ::close(fd);
  if (readerror != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, name, std::strerror(readerror));
    return 1;
  }
  for (const boards::textproblem& problem : problems) {
    std::fprintf(stderr, "%s:%llu:%llu: %s\n", name,
                 static_cast<unsigned long long>(problem.line),
                 static_cast<unsigned long long>(problem.column),
                 problem.message.c_str());
  }
  if (!problems.empty()) return 1;
  return board.save(output) == 0 ? 0 : 1;
}

int run(int argc, char** argv) {
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, {}, line)) {
    return *done;
  }
  if (line.operands.size() != 2) {
    return tools::usageerror(tool, usage, "expected a text and an output");
  }
  return build(line.operands[0], line.operands[1]);
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

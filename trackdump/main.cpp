// trackdump FILE: prints the board in FILE as text, which trackbuild makes
// into the same board file again. Exit status: 0 when printed, 1 when the
// file cannot be read or the text not written, 2 for a usage error.

#include <cstdio>
#include <string>

#include "board/boardfile.h"
#include "board/boardtext.h"
#include "tools/arguments.h"
#include "tools/closeout.h"
#include "tools/counted.h"
#include "tools/quote.h"

namespace {

constexpr char tool[] = "trackdump";
constexpr char usage[] =
    "usage: trackdump FILE\n"
    "Prints the board file FILE as text on standard output.\n";

int dump(const char* path) {
  const std::string file = tools::quotename(path);
  boardtype board;
  const boards::loadresulttype loaded = boards::readboardfile(path, board);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, file.c_str(),
                 loaded.describe().c_str());
    return 1;
  }
  if (loaded.found > loaded.needed) {
    const std::string extra = tools::counted(
        static_cast<std::int64_t>(loaded.found - loaded.needed), "byte");
    std::fprintf(stderr, "%s: %s: %s beyond the layout left out\n", tool,
                 file.c_str(), extra.c_str());
  }
  const bool written =
      boards::writeboardtext(board, [](std::span<const unsigned char> piece) {
        return std::fwrite(piece.data(), 1, piece.size(), stdout) ==
               piece.size();
      });
  return written ? 0 : 1;
}

int run(int argc, char** argv) {
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, {}, line)) {
    return *done;
  }
  if (line.operands.size() != 1) {
    return tools::usageerror(tool, usage, "expected one board file");
  }
  return dump(line.operands[0]);
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

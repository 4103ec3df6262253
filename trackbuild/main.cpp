// trackbuild [--strict] [--sync] TEXT OUTPUT: makes the board written as text
// in TEXT ("-" for standard input) into the board file OUTPUT ("-" for
// standard output; --sync: synced to the disk). OUTPUT is
// written only when the whole text built; what is doubtful about the board
// is warned of at its place in the text, and with --strict a warning keeps
// OUTPUT from being written. Exit status: 0 when written, 1 when the text
// cannot be read or built or OUTPUT not written, 2 for a usage error.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/boardtext.h"
#include "board/bytesources.h"
#include "board/words.h"
#include "tools/arguments.h"
#include "tools/closeout.h"
#include "tools/quote.h"

namespace {

constexpr char tool[] = "trackbuild";
constexpr char usage[] =
    "usage: trackbuild [--strict] [--sync] TEXT OUTPUT\n"
    "Makes the board written as text in TEXT (\"-\": standard input) into\n"
    "the board file OUTPUT, warning of what looks wrong at its place in TEXT.\n"
    "The text's syntax is in board(5).\n"
    "--strict: a warning fails the build and OUTPUT is left as it was.\n"
    "--sync: the board is on the disk before trackbuild ends.\n"
    "OUTPUT \"-\" writes the board on standard output (not a terminal).\n";

// Past this many warnings the rest are counted, not listed.
constexpr std::size_t listedwarnings = 100;

void say(const char* name, const boards::textproblem& problem,
         const char* level) {
  std::fprintf(stderr, "%s:%llu:%llu: %s%s\n", name,
               static_cast<unsigned long long>(problem.line),
               static_cast<unsigned long long>(problem.column), level,
               problem.message.c_str());
}

// The warnings that come first in the text, in its order, and how many
// there are in all: a board with millions of slips keeps only the first.
class warninglist {
 public:
  void add(boards::textplace place, const std::string& message) {
    const std::size_t order = count_++;
    // Only what comes before the last kept is copied: most are not.
    if (kept_.size() == listedwarnings &&
        !earlier({{place.line, place.column, {}}, order}, kept_.front())) {
      return;
    }
    kept_.push_back({{place.line, place.column, message}, order});
    std::push_heap(kept_.begin(), kept_.end(), earlier);
    if (kept_.size() > listedwarnings) {
      std::pop_heap(kept_.begin(), kept_.end(), earlier);
      kept_.pop_back();
    }
  }

  // Prints them; how many there were.
  std::size_t say(const char* name) {
    std::sort_heap(kept_.begin(), kept_.end(), earlier);
    for (const auto& kept : kept_) ::say(name, kept.warning, "warning: ");
    if (count_ > kept_.size()) {
      std::fprintf(
          stderr, "%s: %s not listed\n", name,
          boards::counted(static_cast<std::int64_t>(count_ - kept_.size()),
                          "more warning")
              .c_str());
    }
    return count_;
  }

 private:
  struct keptwarning {
    boards::textproblem warning;
    std::size_t order;  // among all, to keep the order of equal places
  };
  static bool earlier(const keptwarning& a, const keptwarning& b) {
    return std::tuple(a.warning.line, a.warning.column, a.order) <
           std::tuple(b.warning.line, b.warning.column, b.order);
  }

  std::vector<keptwarning> kept_;
  std::size_t count_ = 0;
};

// Warns of what reads but looks wrong: the reader's doubts and the board's
// problems, each at its place in the text; how many warnings there were.
std::size_t warn(const char* name, const boardtype& board,
                 const boards::textplaces& places) {
  warninglist warnings;
  for (const boards::textproblem& doubt : places.warnings) {
    warnings.add({doubt.line, doubt.column}, doubt.message);
  }
  boards::placefinder placeof(places);
  boards::checkboard(board, [&](const boards::boardproblem& problem) {
    warnings.add(placeof(problem), problem.message);
  });
  return warnings.say(name);
}

// Writes the board on standard output, which must not be a terminal.
int writestdout(const boardtype& board) {
  if (::isatty(STDOUT_FILENO) == 1) {
    std::fprintf(stderr, "%s: standard output is a terminal; not written\n",
                 tool);
    return 1;
  }
  const boards::saveresulttype check = boards::checkencodable(board);
  if (!check.ok()) {
    std::fprintf(stderr, "%s: -: %s\n", tool, check.describe().c_str());
    return 1;
  }
  return boards::encodeboard(board,
                             [](std::span<const unsigned char> piece) {
                               return std::fwrite(piece.data(), 1, piece.size(),
                                                  stdout) == piece.size();
                             })
             ? 0
             : 1;
}

// Saves the board as output ("-": standard output), telling why not on
// standard error; the exit status.
int save(const boardtype& board, const char* output, bool sync) {
  if (std::strcmp(output, "-") == 0) return writestdout(board);
  const boards::saveresulttype result =
      boards::writeboardfile(output, board, {.sync = sync});
  tools::tellnote(tool, output, result.note());
  if (result.ok()) return 0;
  std::fprintf(stderr, "%s: %s: %s\n", tool, tools::quotename(output).c_str(),
               result.describe().c_str());
  return 1;
}

// Builds the board in textpath ("-": standard input) and saves it as output
// (when strict, only when there is nothing to warn of); the exit status.
int build(const char* textpath, const char* output, bool strict, bool sync) {
  const bool fromstdin = std::strcmp(textpath, "-") == 0;
  const std::string quoted = tools::quotename(textpath);
  const char* name = fromstdin ? "<stdin>" : quoted.c_str();
  const int fd = fromstdin ? STDIN_FILENO : ::open(textpath, O_RDONLY);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, name, std::strerror(errno));
    return 1;
  }
  std::vector<unsigned char> buffer(boards::boardpiecelength);
  int readerror = 0;
  boardtype board;
  boards::textplaces places;
  const auto problems = boards::readboardtext(
      boards::filesource(fd, buffer, readerror), board, places);
  if (!fromstdin) ::close(fd);
  if (readerror != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, name, std::strerror(readerror));
    return 1;
  }
  for (const boards::textproblem& problem : problems) say(name, problem, "");
  if (!problems.empty()) return 1;
  const std::size_t warnings = warn(name, board, places);
  if (strict && warnings > 0) {
    std::fprintf(
        stderr, "%s: %s: %s; %s not written (--strict)\n", tool, name,
        boards::counted(static_cast<std::int64_t>(warnings), "warning").c_str(),
        tools::quotename(output).c_str());
    return 1;
  }
  return save(board, output, sync);
}

int run(int argc, char** argv) {
  tools::commandline line;
  static constexpr std::string_view known[] = {"--strict", "--sync"};
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done;
  }
  if (line.operands.size() != 2) {
    return tools::usageerror(tool, usage, "expected a text and an output");
  }
  const auto given = [&line](std::string_view option) {
    return std::find(line.options.begin(), line.options.end(), option) !=
           line.options.end();
  };
  return build(line.operands[0], line.operands[1], given("--strict"),
               given("--sync"));
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

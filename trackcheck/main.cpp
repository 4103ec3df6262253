// trackcheck [--show] [--holes] [--color=WHEN] FILE...: checks board files
// and says what they hold. Exit status: 0 when every file is sound, 1 when
// any has a problem or cannot be read, 2 for a usage error.

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/words.h"
#include "tools/arguments.h"
#include "tools/closeout.h"
#include "tools/quote.h"
#include "trackcheck/draw.h"

namespace {

using boards::loadresulttype;
using boards::readboardfile;

constexpr char tool[] = "trackcheck";
constexpr char usage[] =
    "usage: trackcheck [--show] [--holes] [--color=WHEN] [--max-step=N] "
    "FILE...\n"
    "Checks board files. --show draws the picture, --holes draws it with its\n"
    "holes marked. --color=auto|always|never: auto colors only a terminal,\n"
    "and only when NO_COLOR is not set to a value. --max-step=N: a track may\n"
    "go at most N cells from one hole to the next (3).\n";

// Past this many lines a file's problems are counted, not listed.
constexpr std::size_t listedproblems = 100;

// A file's problems: all are counted, the first few are described.
struct problemlisttype {
  void add(const std::string& line) {
    ++count;
    if (lines.size() < listedproblems) lines.push_back(line);
  }
  std::int64_t count = 0;
  std::vector<std::string> lines;
};

void say(const char* file, const std::string& text) {
  std::printf("%s: %s\n", tools::quotename(file).c_str(), text.c_str());
}

std::string summary(const boardtype& board) {
  return "ok, " + boards::counted(board.trackcount, "track") + " of " +
         boards::counted(board.holecount, "hole") + ", " +
         std::to_string(board.width) + "x" + std::to_string(board.height) +
         " picture, " + boards::counted(board.paircount, "pair");
}

// Checks one file and reports on it, drawing its picture when show; whether
// it is sound.
bool check(const char* file, bool show, drawingtype how,
           const boards::checkoptions& limits) {
  boardtype board;
  const loadresulttype loaded = readboardfile(file, board);
  tools::tellnote("trackcheck", file, loaded.note());
  if (!loaded.ok()) {
    say(file, loaded.describe());
    say(file, "1 problem");
    return false;
  }
  if (show) std::fputs(drawpicture(board, how).c_str(), stdout);
  problemlisttype problems;
  boards::checkboard(
      board,
      [&problems](const boards::boardproblem& problem) {
        problems.add(problem.message);
      },
      limits);
  if (loaded.found > loaded.needed) {
    problems.add(
        boards::counted(static_cast<std::int64_t>(loaded.found - loaded.needed),
                        "byte") +
        " beyond the layout, lost on a copy");
  }
  for (const std::string& line : problems.lines) say(file, line);
  if (problems.count > static_cast<std::int64_t>(problems.lines.size())) {
    say(file, boards::counted(problems.count - static_cast<std::int64_t>(
                                                   problems.lines.size()),
                              "more problem") +
                  " not listed");
  }
  if (problems.count == 0) {
    say(file, summary(board));
    return true;
  }
  say(file, boards::counted(problems.count, "problem"));
  return false;
}

// Color by default only for a terminal, and not where NO_COLOR is set to
// anything.
bool colorbydefault() {
  const char* nocolor = std::getenv("NO_COLOR");
  return ::isatty(STDOUT_FILENO) == 1 && (nocolor == nullptr || *nocolor == 0);
}

// "--max-step=N": N in decimal digits, at most what an int32 holds.
bool stepoption(std::string_view value, boards::checkoptions& limits) {
  std::int32_t cells = 0;
  const auto [end, error] =
      std::from_chars(value.data(), value.data() + value.size(), cells);
  if (value.empty() || error != std::errc() ||
      end != value.data() + value.size() || cells < 0) {
    return false;
  }
  limits.maxstep = cells;
  return true;
}

int run(int argc, char** argv) {
  static constexpr std::string_view known[] = {"--show", "--holes", "--color",
                                               "--color=", "--max-step="};
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done;
  }
  bool show = false;
  boards::checkoptions limits;
  drawingtype how;
  how.color = colorbydefault();
  for (const std::string_view option : line.options) {
    if (option == "--show") {
      show = true;
    } else if (option == "--holes") {
      show = how.holes = true;
    } else if (option == "--color" || option == "--color=always") {
      how.color = true;
    } else if (option == "--color=never") {
      how.color = false;
    } else if (option == "--color=auto") {
      how.color = colorbydefault();
    } else if (option.starts_with("--max-step=")) {
      if (!stepoption(option.substr(11), limits)) {
        return tools::usageerror(tool, usage,
                                 "--max-step takes a number of cells, 0 or "
                                 "more");
      }
    } else {
      return tools::usageerror(tool, usage,
                               "unknown option " + std::string(option));
    }
  }
  if (line.operands.empty()) {
    return tools::usageerror(tool, usage, "no board file given");
  }
  bool sound = true;
  for (const char* file : line.operands) {
    sound = check(file, show, how, limits) && sound;
  }
  return sound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

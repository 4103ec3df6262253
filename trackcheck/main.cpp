// trackcheck [--show] [--holes] [--color=WHEN] [--max-step=N]
// [--max-size=SIZE] [--json] FILE...: checks
// board files and says what they hold, as lines for people or as one JSON
// document. Exit status: 0 when every file is sound, 1 when
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
#include "tools/loadlimit.h"
#include "tools/quote.h"
#include "trackcheck/draw.h"

namespace {

using boards::loadresulttype;
using boards::readboardfile;

constexpr char tool[] = "trackcheck";
constexpr char usage[] =
    "usage: trackcheck [--show] [--holes] [--color=WHEN] [--max-step=N] "
    "[--max-size=SIZE] [--json] FILE...\n"
    "Checks board files. --show draws the picture, --holes draws it with its\n"
    "holes marked. --color=auto|always|never: auto colors only a terminal,\n"
    "and only when NO_COLOR is not set to a value. --max-step=N: a track may\n"
    "go at most N cells from one hole to the next (3). --json: one JSON\n"
    "document.\n"
    "--max-size=SIZE: refuse a board whose file would pass SIZE bytes, or\n"
    "KiB, MiB, GiB or TiB with K, M, G or T after it (1G).\n";

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
           const boards::checkoptions& limits,
           const boards::loadoptions& loading) {
  boardtype board;
  const loadresulttype loaded = readboardfile(file, board, loading);
  if (!loaded.ok()) {
    say(file, tools::loadfault(loaded));
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

// The load fault as a stable lowercase name, as the JSON document gives it.
const char* faultname(loadresulttype::fault fault) {
  using enum loadresulttype::fault;
  switch (fault) {
    case none:
      return "none";
    case cannotopen:
      return "cannotopen";
    case notregular:
      return "notregular";
    case readfailed:
      return "readfailed";
    case shorthead:
      return "shorthead";
    case negativesize:
      return "negativesize";
    case shortlayout:
      return "shortlayout";
    case toolarge:
      return "toolarge";
    case nomemory:
      return "nomemory";
  }
  return "unknown";
}

void jsonproblem(bool first, const char* kind, const boards::boardproblem& p) {
  std::printf(
      "%s\n      {\"kind\": \"%s\", \"track\": %d, \"hole\": %d, \"row\": %d, "
      "\"column\": %d, \"message\": %s}",
      first ? "" : ",", kind, p.track, p.hole, p.row, p.column,
      tools::jsonstring(p.message).c_str());
}

// Checks one file and writes its JSON object, every problem listed (one
// at a time: nothing is held); whether it is sound.
bool checkjson(const char* file, bool first, const boards::checkoptions& limits,
               const boards::loadoptions& loading) {
  std::printf("%s\n    {\"file\": %s, ", first ? "" : ",",
              tools::jsonstring(file).c_str());
  boardtype board;
  const loadresulttype loaded = readboardfile(file, board, loading);
  if (!loaded.ok()) {
    std::printf(
        "\"loaded\": false, \"fault\": \"%s\", \"message\": %s, "
        "\"problems\": [], \"problemcount\": 0}",
        faultname(loaded.what),
        tools::jsonstring(tools::loadfault(loaded)).c_str());
    return false;
  }
  std::printf(
      "\"loaded\": true, \"sizes\": {\"width\": %d, \"height\": %d, "
      "\"holecount\": %d, \"trackcount\": %d, \"paircount\": %d},\n     "
      "\"problems\": [",
      board.width, board.height, board.holecount, board.trackcount,
      board.paircount);
  std::int64_t count = 0;
  boards::checkboard(
      board,
      [&count](const boards::boardproblem& problem) {
        jsonproblem(count++ == 0, boards::kindname(problem.kind), problem);
      },
      limits);
  if (loaded.found > loaded.needed) {
    boards::boardproblem beyond;
    beyond.message =
        boards::counted(static_cast<std::int64_t>(loaded.found - loaded.needed),
                        "byte") +
        " beyond the layout, lost on a copy";
    jsonproblem(count++ == 0, "trailingbytes", beyond);
  }
  std::printf("%s], \"problemcount\": %lld}", count == 0 ? "" : "\n     ",
              static_cast<long long>(count));
  return count == 0;
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
  static constexpr std::string_view known[] = {
      "--show",      "--holes",     "--color", "--color=",
      "--max-step=", "--max-size=", "--json"};
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done;
  }
  bool show = false;
  bool json = false;
  boards::checkoptions limits;
  boards::loadoptions loading;
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
    } else if (option == "--json") {
      json = true;
    } else if (option == "--color=auto") {
      how.color = colorbydefault();
    } else if (option.starts_with("--max-step=")) {
      if (!stepoption(option.substr(11), limits)) {
        return tools::usageerror(tool, usage,
                                 "--max-step takes a number of cells, 0 or "
                                 "more");
      }
    } else if (option.starts_with("--max-size=")) {
      if (!tools::maxsizeoption(option.substr(11), loading.maxsize)) {
        return tools::usageerror(tool, usage,
                                 "--max-size takes a size above 0: 1G, 512M, "
                                 "4096");
      }
    } else {
      return tools::usageerror(tool, usage,
                               "unknown option " + std::string(option));
    }
  }
  if (line.operands.empty()) {
    return tools::usageerror(tool, usage, "no board file given");
  }
  if (json && show) {
    return tools::usageerror(tool, usage,
                             "--json does not draw: no --show or --holes");
  }
  bool sound = true;
  if (json) std::fputs("{\"files\": [", stdout);
  for (const char* file : line.operands) {
    sound =
        (json ? checkjson(file, file == line.operands.front(), limits, loading)
              : check(file, show, how, limits, loading)) &&
        sound;
  }
  if (json) std::fputs("\n  ]}\n", stdout);
  return sound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

// trackbuild [--strict] [--sync] [--json] TEXT OUTPUT: makes the board written
// as text in TEXT ("-" for standard input) into the board file OUTPUT ("-" for
// standard output; --sync: synced to the disk). OUTPUT is
// written only when the whole text built; what is doubtful about the board
// is warned of at its place in the text, and with --strict a warning keeps
// OUTPUT from being written; with --json, faults and warnings are one JSON
// document on standard output. Exit status: 0 when written, 1 when the text
// cannot be read or built or OUTPUT not written, 2 for a usage error.

#include <fcntl.h>
#include <sys/stat.h>
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
    "usage: trackbuild [--strict] [--sync] [--json] TEXT OUTPUT\n"
    "Makes the board written as text in TEXT (\"-\": standard input) into\n"
    "the board file OUTPUT, warning of what looks wrong at its place in TEXT.\n"
    "The text's syntax is in board(5).\n"
    "--strict: a warning fails the build and OUTPUT is left as it was.\n"
    "--sync: the board is on the disk before trackbuild ends.\n"
    "OUTPUT \"-\" writes the board on standard output (not a terminal).\n"
    "--json: faults and warnings as one JSON document on standard output.\n";

// Past this many warnings the rest are counted, not listed.
constexpr std::size_t listedwarnings = 100;

// With --json, what would go to standard error, gathered for the document.
struct jsonreport {
  bool on = false;
  std::string faults, warnings;  // the arrays' items, comma-separated
  std::size_t warningcount = 0;
  std::string error;  // why the text was not read or OUTPUT not written
};
jsonreport json;

void appendjson(std::string& items, const char* name,
                const boards::textproblem& problem) {
  if (!items.empty()) items += ",";
  items += "\n    {\"file\": " + tools::jsonstring(name) +
           ", \"line\": " + std::to_string(problem.line) +
           ", \"column\": " + std::to_string(problem.column) +
           ", \"message\": " + tools::jsonstring(problem.message) + "}";
}

// A fault (level "") or a warning ("warning: ") at its place in the text.
void say(const char* name, const boards::textproblem& problem,
         const char* level) {
  if (json.on) {
    appendjson(*level == 0 ? json.faults : json.warnings, name, problem);
    return;
  }
  std::fprintf(stderr, "%s:%llu:%llu: %s%s\n", name,
               static_cast<unsigned long long>(problem.line),
               static_cast<unsigned long long>(problem.column), level,
               problem.message.c_str());
}

// Why the text was not read or the board not written.
void fail(const std::string& why) {
  if (json.on) {
    json.error = why;
  } else {
    std::fprintf(stderr, "%s: %s\n", tool, why.c_str());
  }
}

void printjson(const char* name, int status) {
  const auto array = [](const std::string& items) {
    return items.empty() ? std::string("[]") : "[" + items + "\n  ]";
  };
  std::printf(
      "{\"file\": %s, \"written\": %s, \"faults\": %s,\n  \"warnings\": "
      "%s,\n  \"warningcount\": %zu, \"error\": %s}\n",
      tools::jsonstring(name).c_str(), status == 0 ? "true" : "false",
      array(json.faults).c_str(), array(json.warnings).c_str(),
      json.warningcount,
      json.error.empty() ? "null" : tools::jsonstring(json.error).c_str());
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
    json.warningcount = count_;
    if (count_ > kept_.size() && !json.on) {
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

// Tells the faults of a text that did not build and what the reader
// doubted of it (the holes of a track whose count is wrong among them),
// in the order of the text.
void faulty(const char* name, const std::vector<boards::textproblem>& faults,
            const std::vector<boards::textproblem>& doubts) {
  std::vector<std::pair<const boards::textproblem*, const char*>> told;
  for (const auto& fault : faults) told.emplace_back(&fault, "");
  for (const auto& doubt : doubts) told.emplace_back(&doubt, "warning: ");
  std::stable_sort(told.begin(), told.end(), [](const auto& a, const auto& b) {
    return std::pair(a.first->line, a.first->column) <
           std::pair(b.first->line, b.first->column);
  });
  for (const auto& [problem, level] : told) say(name, *problem, level);
}

// Writes the board on standard output, which must not be a terminal.
int writestdout(const boardtype& board) {
  if (::isatty(STDOUT_FILENO) == 1) {
    fail("standard output is a terminal; not written");
    return 1;
  }
  const boards::saveresulttype check = boards::checkencodable(board);
  if (!check.ok()) {
    fail("-: " + check.describe());
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
  if (result.ok()) return 0;
  fail(tools::quotename(output) + ": " + result.describe());
  return 1;
}

// Whether two paths name one file: a board written there would replace the
// text it was built from.
bool samefile(const char* a, const char* b) {
  struct stat first, second;
  return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Builds the board in textpath ("-": standard input) and saves it as output
// (when strict, only when there is nothing to warn of); the exit status.
int build(const char* textpath, const char* output, bool strict, bool sync) {
  const bool fromstdin = std::strcmp(textpath, "-") == 0;
  const std::string quoted = tools::quotename(textpath);
  const char* name = fromstdin ? "<stdin>" : quoted.c_str();
  // The document's places name the file as its "file" does, unquoted.
  const char* placename = fromstdin || !json.on ? name : textpath;
  if (!fromstdin && samefile(textpath, output)) {
    fail(std::string(name) + ": is also the output; not written");
    return 1;
  }
  const int fd = fromstdin ? STDIN_FILENO : ::open(textpath, O_RDONLY);
  if (fd < 0) {
    fail(std::string(name) + ": " + std::strerror(errno));
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
    fail(std::string(name) + ": " + std::strerror(readerror));
    return 1;
  }
  if (!problems.empty()) {
    faulty(placename, problems, places.warnings);
    // The faults told say why on standard error; the document says it too.
    json.error =
        std::string(name) + ": " +
        boards::counted(static_cast<std::int64_t>(problems.size()), "fault") +
        "; " + tools::quotename(output) + " not written";
    return 1;
  }
  const std::size_t warnings = warn(placename, board, places);
  if (strict && warnings > 0) {
    fail(std::string(name) + ": " +
         boards::counted(static_cast<std::int64_t>(warnings), "warning") +
         "; " + tools::quotename(output) + " not written (--strict)");
    return 1;
  }
  return save(board, output, sync);
}

int run(int argc, char** argv) {
  tools::commandline line;
  static constexpr std::string_view known[] = {"--strict", "--sync", "--json"};
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
  json.on = given("--json");
  if (json.on && std::strcmp(line.operands[1], "-") == 0) {
    return tools::usageerror(tool, usage,
                             "--json and the board cannot share standard "
                             "output");
  }
  const int status = build(line.operands[0], line.operands[1],
                           given("--strict"), given("--sync"));
  if (json.on) {
    printjson(
        std::strcmp(line.operands[0], "-") == 0 ? "<stdin>" : line.operands[0],
        status);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}

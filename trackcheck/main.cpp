// trackcheck [--show] FILE...: checks board files and says what they hold.
// Exit status: 0 when every file is sound, 1 when any has a problem or cannot
// be read, 2 for a usage error.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "trackcheck/checks.h"

namespace {

using boards::loadresulttype;
using boards::readboardfile;

constexpr char usage[] = "usage: trackcheck [--show] FILE...\n";

// Past this many lines a file's problems are counted, not listed.
constexpr std::size_t listedproblems = 100;

void say(const char* file, const std::string& text) {
  std::printf("%s: %s\n", file, text.c_str());
}

// The picture as text between two rules; unprintable bytes show as "?".
void show(const boardtype& board) {
  std::string rule = "+";
  rule.append(board.width, '-').append("+\n");
  std::fputs(rule.c_str(), stdout);
  for (std::int32_t r = 0; r < board.height; ++r) {
    std::string row(board.picture[r].get(), board.width);
    for (char& c : row) {
      if (c < ' ' || c > '~') c = '?';
    }
    std::printf("|%s|\n", row.c_str());
  }
  std::fputs(rule.c_str(), stdout);
}

std::string summary(const boardtype& board) {
  return "ok, " + std::to_string(board.trackcount) + " tracks of " +
         std::to_string(board.holecount) + " holes, " +
         std::to_string(board.width) + "x" + std::to_string(board.height) +
         " picture, " + std::to_string(board.paircount) + " pairs";
}

// Checks one file and reports on it; whether it is sound.
bool check(const char* file, bool showpicture) {
  boardtype board;
  const loadresulttype loaded = readboardfile(file, board);
  if (!loaded.ok()) {
    say(file, loaded.describe());
    say(file, "1 problem");
    return false;
  }
  if (showpicture) show(board);
  problemlisttype problems = findproblems(board, listedproblems);
  if (loaded.found > loaded.needed) {
    problems.add(std::to_string(loaded.found - loaded.needed) +
                 " bytes beyond the layout, lost on a copy");
  }
  for (const std::string& line : problems.lines) say(file, line);
  if (problems.count > static_cast<std::int64_t>(problems.lines.size())) {
    say(file, std::to_string(problems.count - problems.lines.size()) +
                  " more problems not listed");
  }
  if (problems.count == 0) {
    say(file, summary(board));
    return true;
  }
  say(file, std::to_string(problems.count) +
                (problems.count == 1 ? " problem" : " problems"));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  bool showpicture = false;
  std::vector<const char*> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (options && std::strcmp(arg, "--help") == 0) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (options && std::strcmp(arg, "--show") == 0) {
      showpicture = true;
    } else if (options && std::strcmp(arg, "--") == 0) {
      options = false;
    } else if (options && arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "trackcheck: unknown option %s\n%s", arg, usage);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fputs(usage, stderr);
    return 2;
  }
  bool sound = true;
  for (const char* file : files) sound = check(file, showpicture) && sound;
  return sound ? 0 : 1;
}

// trackedit [--size=WxH] FILE: edits a board file on the terminal. Exit
// status: 0 after a quit, 1 when FILE cannot be loaded, 2 for a usage error
// or without a terminal; after a hang-up or termination, 128 and the signal.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "board/boardfile.h"
#include "tools/arguments.h"
#include "tools/closeout.h"
#include "tools/loadlimit.h"
#include "tools/quote.h"
#include "trackedit/commands.h"
#include "trackedit/model.h"
#include "trackedit/recovery.h"
#include "trackedit/terminal.h"

namespace {

constexpr char tool[] = "trackedit";
constexpr char usage[] =
    "usage: trackedit [--size=WxH] [--max-size=SIZE] FILE\n"
    "Edits the board file FILE on the terminal. A FILE that does not exist\n"
    "starts as W x H blank cells (default 55x12, at most 255x255) and is\n"
    "made at the first save. F1 in the editor lists the keys.\n"
    "--max-size=SIZE: refuse a board whose file would pass SIZE bytes, or\n"
    "KiB, MiB, GiB or TiB with K, M, G or T after it (1G).\n";

volatile std::sig_atomic_t stopsignal = 0;

// Only notes the signal: the editor's loop sees it, saves what must not be
// lost and leaves the terminal as it found it.
extern "C" void notestop(int signal) { stopsignal = signal; }

void catchstops() {
  struct sigaction action {};
  action.sa_handler = notestop;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGHUP, SIGTERM, SIGINT, SIGQUIT}) {
    sigaction(signal, &action, nullptr);
  }
}

// The size given with --size, when it is W x H within 1..255 each.
bool readsize(std::string_view text, std::int32_t& width,
              std::int32_t& height) {
  int w = 0, h = 0, used = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%3dx%3d%n", &w, &h, &used) != 2 ||
      used != static_cast<int>(copy.size()) || w < 1 || w > 255 || h < 1 ||
      h > 255) {
    return false;
  }
  width = w;
  height = h;
  return true;
}

// The recovery files as the editor offers them, with when each was written.
std::vector<trackedit::editor::recoveryoffer> offers(const std::string& path) {
  std::vector<trackedit::editor::recoveryoffer> list;
  for (const auto& file : trackedit::findrecoveries(path)) {
    char written[32];
    std::tm local{};
    localtime_r(&file.written, &local);
    std::strftime(written, sizeof written, "%Y-%m-%d %H:%M:%S", &local);
    list.push_back({file.path, written});
  }
  return list;
}

// Keeps unsaved edits in a new recovery file; the line that tells where
// they went (or that they could not be kept), for standard error.
std::string keep(const trackedit::editor& state) {
  if (!state.doc().modified()) return {};
  struct stat status;
  const unsigned mode = ::stat(state.path().c_str(), &status) == 0
                            ? status.st_mode & 07777
                            : 0600;
  const auto kept =
      trackedit::writerecovery(state.path(), state.doc().recovertext(), mode);
  if (!kept.path.empty()) {
    return "the unsaved edits are in " + tools::quotename(kept.path) +
           "; the next trackedit " + tools::quotename(state.path()) +
           " offers them";
  }
  std::string lost =
      "the unsaved edits are lost: cannot write a recovery file: " + kept.error;
  // After a hang-up nobody may read standard error: the log keeps it.
  const std::string log = trackedit::logrecovery(state.path(), lost);
  if (!log.empty()) lost += " (noted in " + tools::quotename(log) + ")";
  return lost;
}

int run(int argc, char** argv) {
  static constexpr std::string_view known[] = {"--size=", "--max-size="};
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done == 0 && !tools::closestdout(tool) ? 1 : *done;
  }
  std::int32_t width = 55, height = 12;
  boards::loadoptions loading;
  for (const std::string_view option : line.options) {
    if (option.starts_with("--max-size=")) {
      if (!tools::maxsizeoption(option.substr(11), loading.maxsize)) {
        return tools::usageerror(tool, usage,
                                 "--max-size takes a size above 0: 1G, 512M, "
                                 "4096");
      }
    } else if (!readsize(option.substr(7), width, height)) {
      return tools::usageerror(tool, usage, "--size wants WxH, 1 to 255 each");
    }
  }
  if (line.operands.size() != 1) {
    return tools::usageerror(tool, usage, "one board file wanted");
  }
  if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDOUT_FILENO) != 1) {
    std::fprintf(stderr, "%s: needs a terminal\n", tool);
    return 2;
  }
  if (const std::string why = trackedit::unusableterminal(); !why.empty()) {
    std::fprintf(stderr, "%s: %s\n", tool, why.c_str());
    return 1;
  }
  const std::string path = line.operands[0];
  struct stat status;
  trackedit::document doc(width, height);
  if (::stat(path.c_str(), &status) == 0 || errno != ENOENT) {
    boardtype board;
    const auto loaded = boards::readboardfile(path.c_str(), board, loading);
    if (!loaded.ok()) {
      std::fprintf(stderr, "%s: %s: %s\n", tool, tools::quotename(path).c_str(),
                   tools::loadfault(loaded).c_str());
      return 1;
    }
    doc = trackedit::document(board);
  }
  catchstops();
  trackedit::terminalprompter ask(stopsignal);
  trackedit::editor state(std::move(doc), path, ask);
  state.limitloads(loading);
  std::string kept;
  try {
    trackedit::session screen;
    trackedit::run(state, ask, offers(path), stopsignal);
    // A hang-up or termination with unsaved edits: keep them before the
    // terminal is given back.
    if (stopsignal != 0) kept = keep(state);
  } catch (const std::exception& e) {
    kept = keep(state);
    std::fprintf(stderr, "%s: %s%s%s\n", tool, e.what(),
                 kept.empty() ? "" : "; ", kept.c_str());
    return 1;
  }
  if (!kept.empty()) std::fprintf(stderr, "%s: %s\n", tool, kept.c_str());
  return stopsignal != 0 ? 128 + stopsignal : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Typed characters arrive in the terminal's own encoding.
  std::setlocale(LC_ALL, "");
  return run(argc, argv);
}

// trackedit [--size=WxH] FILE: edits a board file on the terminal. Exit
// status: 0 after a quit, 1 when FILE cannot be loaded, 2 for a usage error
// or without a terminal; after a hang-up or termination, 128 and the signal.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "board/boardfile.h"
#include "tools/arguments.h"
#include "tools/quote.h"
#include "trackedit/editor.h"
#include "trackedit/model.h"

namespace {

constexpr char tool[] = "trackedit";
constexpr char usage[] =
    "usage: trackedit [--size=WxH] FILE\n"
    "Edits the board file FILE on the terminal. A FILE that does not exist\n"
    "starts as W x H blank cells (default 55x12, at most 255x255) and is\n"
    "made at the first save. F1 in the editor lists the keys.\n";

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

// Writes the board's text beside the file, for the next session to offer.
bool writerecovery(const std::string& path, const trackedit::document& doc) {
  const std::string text = doc.recovertext();
  std::FILE* out = std::fopen((path + ".recover").c_str(), "w");
  if (out == nullptr) return false;
  const bool written =
      std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}

int run(int argc, char** argv) {
  static constexpr std::string_view known[] = {"--size="};
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done;
  }
  std::int32_t width = 55, height = 12;
  for (const std::string_view option : line.options) {
    if (!readsize(option.substr(7), width, height)) {
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
  const std::string path = line.operands[0];
  struct stat status;
  trackedit::document doc(width, height);
  if (::stat(path.c_str(), &status) == 0 || errno != ENOENT) {
    boardtype board;
    const auto loaded = boards::readboardfile(path.c_str(), board);
    if (!loaded.ok()) {
      std::fprintf(stderr, "%s: %s: %s\n", tool, tools::quotename(path).c_str(),
                   loaded.describe().c_str());
      return 1;
    }
    doc = trackedit::document(board);
  }
  catchstops();
  bool lost = false;
  int error = 0;
  try {
    trackedit::session screen;
    trackedit::edit(doc, path, stopsignal);
    // A hang-up or termination with unsaved edits: keep them beside the
    // file before the terminal is given back.
    if (stopsignal != 0 && doc.modified() && !writerecovery(path, doc)) {
      lost = true;
      error = errno;
    }
  } catch (const std::exception& e) {
    const bool kept = doc.modified() && writerecovery(path, doc);
    std::fprintf(stderr, "%s: %s%s\n", tool, e.what(),
                 kept ? "; the edits are in the .recover file" : "");
    return 1;
  }
  if (lost) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", tool,
                 tools::quotename(path + ".recover").c_str(),
                 std::strerror(error));
  }
  return stopsignal != 0 ? 128 + stopsignal : 0;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }

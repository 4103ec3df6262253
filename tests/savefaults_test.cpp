// Every system call of a save made to fail in turn, and a save killed at
// each of them, on every path a save takes: once the file has been loaded
// again through the library, every name holds a whole board, old or new,
// and no stray file is left.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "board/boardfile.h"
#include "board/savecalls.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using boards::savecalls;
using fault = boards::saveresulttype::fault;

namespace {

int failat, injected, calls;  // the call that fails (from 1), how, calls made
bool killing;                 // the call that fails ends the process
bool mustfail;                // a call failed whose failure fails the save
const savecalls real = boards::savesystem;

// Calls whose failure a save may pass over: it copies the attributes it
// can, and closing a directory it only looked through changes nothing.
template <auto field>
constexpr bool passable = false;
template <>
constexpr bool passable<&savecalls::flistxattr> = true;
template <>
constexpr bool passable<&savecalls::fgetxattr> = true;
template <>
constexpr bool passable<&savecalls::fsetxattr> = true;
template <>
constexpr bool passable<&savecalls::fremovexattr> = true;
template <>
constexpr bool passable<&savecalls::statx> = true;

bool trip(bool canpass) {
  if (++calls != failat) return false;
  if (killing) std::_Exit(9);
  mustfail = !canpass;
  errno = injected;
  return true;
}

template <auto field>
struct failing;
template <typename R, typename... A, R (*savecalls::*field)(A...)>
struct failing<field> {
  static R call(A... args) {
    return trip(passable<field>) ? R(-1) : (real.*field)(args...);
  }
};

// The system's calls, each failing when its turn comes. A close that fails
// still releases the descriptor; a failed unlink would leave a fresh file
// behind, the one stray a save cannot help, so unlinks are not failed.
const savecalls counted = {
    failing<&savecalls::openat>::call,
    [](int fd) { return real.close(fd) == 0 && !trip(true) ? 0 : -1; },
    failing<&savecalls::dupfd>::call,
    failing<&savecalls::read>::call,
    failing<&savecalls::write>::call,
    failing<&savecalls::lseek>::call,
    failing<&savecalls::fstat>::call,
    failing<&savecalls::fstatat>::call,
    failing<&savecalls::readlinkat>::call,
    failing<&savecalls::linkat>::call,
    failing<&savecalls::renameat>::call,
    real.unlinkat,
    failing<&savecalls::fallocate>::call,
    failing<&savecalls::ftruncate>::call,
    failing<&savecalls::fsync>::call,
    failing<&savecalls::fchown>::call,
    failing<&savecalls::fchmod>::call,
    failing<&savecalls::flistxattr>::call,
    failing<&savecalls::fgetxattr>::call,
    failing<&savecalls::fsetxattr>::call,
    failing<&savecalls::fremovexattr>::call,
    failing<&savecalls::lock>::call,
    failing<&savecalls::statx>::call,
};

// The paths a save takes, forced where needed by a standing refusal.
struct scenario {
  const char* name;
  bool exists, linked;
  bool guarded;  // a copy of the old board can be made beside it
  savecalls calls;
};

savecalls with(auto change) {
  savecalls calls = counted;
  change(calls);
  return calls;
}

const scenario scenarios[] = {
    {"fresh file", true, false, true, counted},
    {"new name", false, false, true, counted},
    {"in place, new files refused", true, false, false,
     with([](savecalls& calls) {
       calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
         const bool making = (flags & O_TMPFILE) == O_TMPFILE ||
                             (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
         if (making) errno = EACCES;
         return making ? -1 : counted.openat(dir, name, flags, mode);
       };
     })},
    {"in place, rename refused", true, false, true, with([](savecalls& calls) {
       calls.renameat = [](int, const char*, int, const char*) {
         errno = EBUSY;
         return -1;
       };
     })},
    {"in place, append-only folder", true, false, false,
     with([](savecalls& calls) {
       calls.statx = [](int dir, const char* name, int flags, unsigned mask,
                        struct statx* status) {
         const int got = counted.statx(dir, name, flags, mask, status);
         if (got == 0) status->stx_attributes |= STATX_ATTR_APPEND;
         return got;
       };
     })},
    {"hard links", true, true, true, counted},
};

// What a save left, once the library has loaded the file again: the names
// that hold a whole board, the first bytes of what does not, and the rest.
struct outcome {
  std::vector<bytes> found;
  std::vector<std::string> strays;
  mode_t mode = 0;
};

outcome lookat(const scratchdir& dir, const std::vector<std::string>& names) {
  boardtype loaded;
  boards::readboardfile((dir / names[0]).c_str(), loaded);
  outcome seen;
  for (const std::string& name : names)
    seen.found.push_back(readbytes(dir / name));
  struct stat status;
  if (::stat((dir / names[0]).c_str(), &status) == 0) {
    seen.mode = status.st_mode & 07777;
  }
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (std::ranges::count(names, name) == 0) seen.strays.push_back(name);
  }
  return seen;
}

bool marked(const bytes& found) {
  return found.size() >= 36 &&
         std::all_of(found.begin(), found.begin() + 36,
                     [](unsigned char b) { return b == 0xff; });
}

std::vector<std::string> prepare(const scratchdir& dir, const scenario& how,
                                 const bytes& old) {
  const std::string target = dir / "target.board";
  std::vector<std::string> names = {"target.board"};
  if (how.exists) {
    writebytes(target, old);
    ::chmod(target.c_str(), 0604);
  }
  if (how.linked) {
    fs::create_hard_link(target, dir / "link.board");
    names.push_back("link.board");
  }
  return names;
}

}  // namespace

TEST(Savefaults, EveryFailedCallLeavesEveryNameWhole) {
  const auto small = sampleboard(2, 3, 2, 2, 2);
  const auto large = sampleboard(9, 11, 7, 3, 4);
  for (const scenario& how : scenarios) {
    // Growing and shrinking: in place, a longer old board must be cut.
    for (const bool grow : {true, false}) {
      const bytes old = boards::encodeboard(grow ? *small : *large);
      const boardtype& board = grow ? *large : *small;
      const bytes fresh = boards::encodeboard(board);
      for (const int error : {EIO, ENOSPC}) {
        for (failat = 1;; ++failat) {
          const scratchdir dir;
          const std::vector<std::string> names = prepare(dir, how, old);
          injected = error;
          calls = 0;
          mustfail = false;
          boards::savesystem = how.calls;
          const auto result = boards::writeboardfile(
              (dir / "target.board").c_str(), board, {.sync = true});
          boards::savesystem = real;
          SCOPED_TRACE(std::string(how.name) + ", call " +
                       std::to_string(failat) + ": " + result.describe());
          EXPECT_TRUE(!mustfail || !result.ok());
          const outcome seen = lookat(dir, names);
          for (const bytes& found : seen.found) {
            const bool whole = found == fresh || (how.exists && found == old) ||
                               (!how.exists && !result.ok() && found.empty());
            // Only a write that had no copy beside it may leave the mark.
            EXPECT_TRUE(whole || (!how.guarded && marked(found) &&
                                  result.what == fault::incomplete));
            EXPECT_TRUE(!result.ok() || found == fresh);
          }
          EXPECT_TRUE(!how.exists || seen.mode == 0604) << seen.mode;
          EXPECT_TRUE(seen.strays.empty()) << seen.strays[0];
          if (calls < failat) {
            EXPECT_TRUE(result.ok());
            break;
          }
        }
      }
    }
  }
}

// Content that stops part way fails the save on every path, with no reason
// made up, and leaves every name as it was.
TEST(Savefaults, ContentThatStopsFailsTheSave) {
  const bytes old = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  for (const scenario& how : scenarios) {
    const scratchdir dir;
    const std::vector<std::string> names = prepare(dir, how, old);
    boards::savesystem = how.calls;
    failat = 0;
    const auto result = boards::writefile(
        (dir / "target.board").c_str(), old.size(),
        [&old](const boards::bytesink& sink) {
          return sink(std::span(old).first(old.size() / 2)) && false;
        });
    boards::savesystem = real;
    SCOPED_TRACE(how.name);
    // Only a write that had no copy beside it may leave the mark.
    const fault expected = how.guarded ? fault::writefailed : fault::incomplete;
    EXPECT_EQ(result.what, expected);
    EXPECT_EQ(result.error, 0);
    const outcome seen = lookat(dir, names);
    for (const bytes& found : seen.found) {
      EXPECT_TRUE(found == (how.exists ? old : bytes()) ||
                  (!how.guarded && marked(found)));
    }
    EXPECT_TRUE(!how.exists || seen.mode == 0604) << seen.mode;
    EXPECT_TRUE(seen.strays.empty()) << seen.strays[0];
  }
}

TEST(Savefaults, ASaveKilledAtAnyCallIsUndoneByTheNextLoad) {
  const bytes old = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  const auto board = sampleboard(9, 11, 7, 3, 4);
  const bytes fresh = boards::encodeboard(*board);
  for (const scenario& how : scenarios) {
    if (!how.guarded) continue;
    for (int kill = 1;; ++kill) {
      const scratchdir dir;
      const std::vector<std::string> names = prepare(dir, how, old);
      const pid_t child = ::fork();
      if (child == 0) {
        killing = true;
        failat = kill;
        boards::savesystem = how.calls;
        boards::writeboardfile((dir / "target.board").c_str(), *board);
        std::_Exit(0);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      SCOPED_TRACE(std::string(how.name) + ", killed at call " +
                   std::to_string(kill));
      const outcome seen = lookat(dir, names);
      for (const bytes& found : seen.found) {
        EXPECT_TRUE(found == fresh || found == old ||
                    (!how.exists && found.empty()));
      }
      // A fresh file that had just been named for its rename may stay.
      for (const std::string& stray : seen.strays) {
        EXPECT_EQ(stray.rfind(".target.board.saving-", 0), 0u) << stray;
      }
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) break;
    }
  }
}

// A FIFO that becomes a larger regular file between the look and the open
// is not written in place over the old tail: the save looks again.
TEST(Savefaults, AFileSwappedAfterTheLookIsLookedAtAgain) {
  const scratchdir dir;
  const std::string target = dir / "target.board";
  writebytes(target, boards::encodeboard(*sampleboard(9, 11, 7, 3, 4)));
  const auto board = sampleboard(2, 3, 2, 2, 2);
  calls = 0;
  boards::savesystem.fstatat = [](int at, const char* name, struct stat* status,
                                  int flags) {
    const int got = real.fstatat(at, name, status, flags);
    if (got == 0 && ++calls == 1) status->st_mode = S_IFIFO | 0644;
    return got;
  };
  const auto result = boards::writeboardfile(target.c_str(), *board);
  boards::savesystem = real;
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(readbytes(target), boards::encodeboard(*board));
}

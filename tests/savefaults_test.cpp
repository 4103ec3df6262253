// Every system call of a save made to fail in turn, on every path a save
// takes: after each, every name holds a whole board, old or new, and no
// stray file is left.

#include <fcntl.h>
#include <gtest/gtest.h>

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
const savecalls real = boards::savesystem;

bool trip() {
  if (++calls != failat) return false;
  errno = injected;
  return true;
}

template <auto field>
struct failing;
template <typename R, typename... A, R (*savecalls::*field)(A...)>
struct failing<field> {
  static R call(A... args) { return trip() ? R(-1) : (real.*field)(args...); }
};

// The system's calls, each failing when its turn comes. A close that fails
// still releases the descriptor; a failed unlink would leave a fresh file
// behind, the one stray a save cannot help, so unlinks are not failed.
const savecalls counted = {
    failing<&savecalls::openat>::call,
    [](int fd) { return real.close(fd) == 0 && !trip() ? 0 : -1; },
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
};

// The paths a save takes, forced where needed by a standing refusal.
struct scenario {
  const char* name;
  bool exists, linked;
  savecalls calls;
};

savecalls with(auto change) {
  savecalls calls = counted;
  change(calls);
  return calls;
}

const scenario scenarios[] = {
    {"fresh file", true, false, counted},
    {"new name", false, false, counted},
    {"in place, new files refused", true, false, with([](savecalls& calls) {
       calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
         const bool making =
             (flags & (O_CREAT | O_TMPFILE)) != 0 && (flags & O_PATH) == 0;
         if (making) errno = EACCES;
         return making ? -1 : counted.openat(dir, name, flags, mode);
       };
     })},
    {"in place, rename refused", true, false, with([](savecalls& calls) {
       calls.renameat = [](int, const char*, int, const char*) {
         errno = EBUSY;
         return -1;
       };
     })},
    {"hard links", true, true, counted},
};

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
          const std::string target = dir / "target.board";
          std::vector<std::string> names = {"target.board"};
          if (how.exists) writebytes(target, old);
          if (how.linked) fs::create_hard_link(target, dir / "link.board");
          if (how.linked) names.push_back("link.board");
          injected = error;
          calls = 0;
          boards::savesystem = how.calls;
          const auto result =
              boards::writeboardfile(target.c_str(), board, {.sync = true});
          boards::savesystem = real;
          SCOPED_TRACE(std::string(how.name) + ", call " +
                       std::to_string(failat) + ": " + result.describe());
          // Only an incomplete write in place leaves anything but a whole
          // board: the new one followed by the old one's tail, or, with
          // hard links, a copy of the old board beside them.
          if (result.what == fault::incomplete && how.linked) {
            EXPECT_EQ(readbytes(dir / result.item), old);
          }
          for (const std::string& name : names) {
            const bytes found = readbytes(dir / name);
            const bool whole =
                found == fresh || (how.exists && found == old) ||
                (!how.exists && !result.ok() && !fs::exists(dir / name));
            const bool tail =
                result.what == fault::incomplete &&
                found.size() > fresh.size() &&
                std::equal(fresh.begin(), fresh.end(), found.begin());
            EXPECT_TRUE(whole || (tail && !how.linked)) << name;
            EXPECT_TRUE(!result.ok() || found == fresh) << name;
          }
          EXPECT_TRUE(!how.linked || fs::hard_link_count(target) == 2);
          if (!result.item.empty()) names.push_back(result.item);
          for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_TRUE(
                std::ranges::count(names, entry.path().filename().string()))
                << "stray " << entry.path();
          }
          if (calls < failat) {
            EXPECT_TRUE(result.ok());
            break;
          }
        }
      }
    }
  }
}
